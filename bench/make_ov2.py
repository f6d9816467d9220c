#!/usr/bin/env python3
# Writes a flat ov2 file of N generated POIs (30-byte records: 16-character descriptions,
# five-decimal positions spread over the Netherlands) as input for tarvell-bench convert.
#   make_ov2.py N OUTPUT
import random, struct, sys

count, path = int(sys.argv[1]), sys.argv[2]
rnd = random.Random(1)
out = bytearray()
for i in range(count):
    name = b'Cafe no. %07d' % (i % 10000000)
    lon = 300000 + rnd.randrange(400000)
    lat = 5070000 + rnd.randrange(280000)
    out += struct.pack('<Biii', 2, 14 + len(name), lon, lat) + name + b'\0'
with open(path, 'wb') as f:
    f.write(out)
