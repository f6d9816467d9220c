#!/usr/bin/env python3
# Writes N generated POIs spread over the whole world, deterministically (seeded), as input for
# the conversion benchmarks:
#   make_world.py ov2 N OUTPUT   flat ov2, five-decimal positions, names of 11-18 characters
#                                (a million POIs make 30-33 MB)
#   make_world.py gpx N OUTPUT   GPX 1.0 as common converters write it: a header with "time" and
#                                "bounds", then per waypoint "name", "cmt" and "desc" holding the
#                                same name of 10-16 characters (about 158 bytes a waypoint)
import random, struct, sys

WORDS = ['Cafe', 'Bistro', 'Hotel', 'Museum', 'Garage', 'Bakery', 'Market', 'Church']


def ov2(count, path, rnd):
    with open(path, 'wb') as f:
        out = bytearray()
        for i in range(count):
            name = b'Stop %d %s' % (i, WORDS[rnd.randrange(len(WORDS))].encode())
            lon = rnd.randrange(-18000000, 18000000)
            lat = rnd.randrange(-9000000, 9000000)
            out += struct.pack('<Biii', 2, 14 + len(name), lon, lat) + name + b'\0'
            if len(out) > 1 << 20:
                f.write(out)
                out.clear()
        f.write(out)


def gpx(count, path, rnd):
    with open(path, 'w', encoding='ascii', newline='\n') as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n'
                '<gpx version="1.0" creator="bench" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" '
                'xmlns="http://www.topografix.com/GPX/1/0" '
                'xsi:schemaLocation="http://www.topografix.com/GPX/1/0 http://www.topografix.com/GPX/1/0/gpx.xsd">\n'
                '<time>2025-06-01T12:00:00Z</time>\n'
                '<bounds minlat="-89.999990000" minlon="-179.999990000" maxlat="89.999990000" maxlon="179.999990000"/>\n')
        lines = []
        for i in range(count):
            name = 'POI %d %s' % (i % 100000, WORDS[rnd.randrange(len(WORDS))])
            lat = rnd.randrange(-9000000, 9000000) / 100000
            lon = rnd.randrange(-18000000, 18000000) / 100000
            lines.append('  <wpt lat="%.9f" lon="%.9f">\n    <name>%s</name>\n    <cmt>%s</cmt>\n'
                         '    <desc>%s</desc>\n  </wpt>\n' % (lat, lon, name, name, name))
            if len(lines) == 10000:
                f.write(''.join(lines))
                lines.clear()
        f.write(''.join(lines))
        f.write('</gpx>\n')


kind, count, path = sys.argv[1], int(sys.argv[2]), sys.argv[3]
{'ov2': ov2, 'gpx': gpx}[kind](count, path, random.Random(33))
