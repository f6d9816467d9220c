#!/usr/bin/env python3
# Builds the binary reader/writer fixtures byte by byte from the file layouts, independently of
# the C++ writers (run once; the output is committed).
import math, os, struct

here = os.path.dirname(os.path.abspath(__file__))


def put(folder, name, data):
    with open(os.path.join(here, folder, name), 'wb') as f:
        f.write(data)


# --- ov2 ---
def skipper(block, east, north, west, south, kind=1):
    return struct.pack('<Biiiii', kind, block, east, north, west, south)


def poi(lon, lat, text, kind=2, extra=b''):
    body = struct.pack('<ii', lon, lat) + text + b'\0' + extra
    return struct.pack('<Bi', kind, 5 + len(body)) + body


put('ttov2', 'empty.ov2', skipper(21, -20000000, -20000000, 20000000, 20000000))
rec = poi(490000, 5250000, b'A')
put('ttov2', 'one.ov2', skipper(21 + len(rec), 490000, 5250000, 490000, 5250000) + rec)

# 20 POIs: the longitude span is larger, so the root splits by longitude at entry 10.
pois = [(480000 + i * 1000, 5230000 + (i * 7 % 20) * 100, b'P%02d' % i) for i in range(20)]
east, west = max(p[0] for p in pois), min(p[0] for p in pois)
north, south = max(p[1] for p in pois), min(p[1] for p in pois)
left = b''.join(poi(*p) for p in pois[:10])
right = b''.join(poi(*p) for p in pois[10:])
split = pois[10][0]
tree = (skipper(21 * 3 + len(left) + len(right), east, north, west, south)
        + skipper(21 + len(left), split, north, west, south) + left
        + skipper(21 + len(right), east, north, split, south) + right)
put('ttov2', 'tree20.ov2', tree)

mixed = (skipper(999, 1, 2, 3, 4, kind=100) + poi(100000, 200000, b'Three', kind=3, extra=b'x\0yz\0')
         + poi(300000, 400000, b'Gone', kind=0) + poi(-500000, -600000, b'Two'))
put('ttov2', 'mixed.ov2', mixed)

# --- ovr ---
def ovr(lon, lat, text):
    return struct.pack('<BBii', 1, 8 + len(text), lon, lat) + text


put('ttovr', 'two.ovr', ovr(49000, 525000, b'A') + ovr(-1234567, -123456, b'Second place'))

# --- upd ---
def upd(lat, lon, country, kind, angle, latcell, loncell):
    return struct.pack('<iiBBHB3xihh56x', lat, lon, kind, 107, 0, country, angle, latcell, loncell)


put('miomapv3', 'two.upd', upd(52373120, 4891230, 8, 138, -1, 2327, 132) + upd(52373120, -4891230, 6, 12, 270, 2327, -131))

# --- dat ---
def u16(text):
    return text.encode('utf-16-le') + b'\0\0'


def dat(text, lon, lat):
    return u16('Dynamic POI') + u16(text) + bytes(22) + struct.pack('<dddd', lon, lat, lon, lat) + bytes(16)


put('destdat', 'two.dat', dat('Café', 4.9, 52.5) + dat('', -71.0625, -33.4375))

# --- gdb ---
def rec(kind, data):
    return struct.pack('<i', len(data)) + kind + data


def semi(deg):
    return int(round(deg / 180.0 * 2147483648))


def waypoint(name, lat, lon):
    return rec(b'W', name + b'\0' + bytes(4) + b'comment\0' + bytes(22) + struct.pack('<ii', lat, lon) + bytes(9))


def gdb(version):
    return (b'MsRcf\0' + struct.pack('<i', 2) + b'D' + version + b'\0'
            + struct.pack('<i', 5) + b'A\x10\x02SQA' + b'MapSource\0')


body = (waypoint(b'North', 1073741824, semi(4.9)) + rec(b'R', b'route\0' + bytes(30))
        + rec(b'T', b'track\0' + bytes(40)) + waypoint(b'South', -536870912, -1073741824))
put('gdb', 'waypoints.gdb', gdb(b'l') + body)
put('gdb', 'version1.gdb', gdb(b'k') + waypoint(b'Only', 0, 0))
put('gdb', 'version3.gdb', gdb(b'm') + body)

# --- mtc ---
def cam(lon, lat, name, angle, kind):
    return bytes(5) + struct.pack('<ii', lon, lat) + name.ljust(52, b'\0')[:52] + struct.pack('<IB', angle, kind) + bytes(3)


mtc = (b'd' + struct.pack('<I', 9) + b'\xff' * 4 + cam(490000, 5250000, b'  Main St\t', 45, 3)
       + cam(-100000, -200000, b'', 7, 12) + cam(1, 2, b'N' * 52, 359, 1))
put('mitacmtc', 'cams.mtc', mtc)
