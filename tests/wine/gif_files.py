"""Small GIF writer and reader for the Wine tests: 8-bit pictures for the plug-in's pics folder
and reading back its screen shots. Only what those need: one image, a global colour table of
256 entries, no interlacing in what is written."""

import struct


def write_gif(path, width, height, pixels, palette):
    """Writes pixels (a bytes-like object of width x height colour indices, top row first) with
    palette (256 (r, g, b) tuples). The data is stored as literal codes of 9 bits, with a clear
    code before the table would need a tenth bit."""
    if len(pixels) != width * height or len(palette) != 256:
        raise ValueError("bad picture")
    out = bytearray(b"GIF87a")
    out += struct.pack("<HHBBB", width, height, 0xF7, 0, 0)
    for r, g, b in palette:
        out += bytes((r, g, b))
    out += b","
    out += struct.pack("<HHHHB", 0, 0, width, height, 0)
    out.append(8)  # minimum code size
    clear, end = 256, 257
    bits, count, data = 0, 0, bytearray()

    def put(code):
        nonlocal bits, count
        bits |= code << count
        count += 9
        while count >= 8:
            data.append(bits & 0xFF)
            bits >>= 8
            count -= 8

    since_clear = 0
    put(clear)
    for value in pixels:
        if since_clear == 254:
            put(clear)
            since_clear = 0
        put(value)
        since_clear += 1
    put(end)
    if count:
        data.append(bits & 0xFF)
    for start in range(0, len(data), 255):
        block = data[start:start + 255]
        out.append(len(block))
        out += block
    out += b"\x00;"
    with open(path, "wb") as f:
        f.write(out)


def read_gif(path):
    """Reads the first image of a GIF: (width, height, pixels top row first as bytes, palette as
    a list of (r, g, b)). The image must cover the whole canvas."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:6] not in (b"GIF87a", b"GIF89a"):
        raise ValueError(f"{path}: not a GIF file")
    width, height, flags = struct.unpack_from("<HHB", data, 6)
    pos = 13
    palette = []
    if flags & 0x80:
        size = 2 << (flags & 7)
        palette = [tuple(data[pos + 3 * i:pos + 3 * i + 3]) for i in range(size)]
        pos += 3 * size
    while data[pos] == 0x21:  # extensions
        pos += 2
        while data[pos]:
            pos += data[pos] + 1
        pos += 1
    if data[pos] != 0x2C:
        raise ValueError(f"{path}: no image")
    left, top, w, h, iflags = struct.unpack_from("<HHHHB", data, pos + 1)
    pos += 10
    if (left, top, w, h) != (0, 0, width, height):
        raise ValueError(f"{path}: the image does not cover the canvas")
    if iflags & 0x80:
        size = 2 << (iflags & 7)
        palette = [tuple(data[pos + 3 * i:pos + 3 * i + 3]) for i in range(size)]
        pos += 3 * size
    minimum = data[pos]
    pos += 1
    stream = bytearray()
    while data[pos]:
        stream += data[pos + 1:pos + 1 + data[pos]]
        pos += data[pos] + 1
    pixels = _decode_lzw(stream, minimum, width * height)
    if iflags & 0x40:
        pixels = _deinterlace(pixels, width, height)
    return width, height, bytes(pixels), palette


def _decode_lzw(stream, minimum, count):
    clear, end = 1 << minimum, (1 << minimum) + 1
    size = minimum + 1
    table = [bytes((i,)) for i in range(clear)] + [b"", b""]
    out = bytearray()
    previous = None
    bitpos = 0
    total = len(stream) * 8
    while bitpos + size <= total and len(out) < count:
        code = 0
        for i in range(size):
            byte = stream[(bitpos + i) >> 3]
            code |= ((byte >> ((bitpos + i) & 7)) & 1) << i
        bitpos += size
        if code == clear:
            table = table[:end + 1]
            size = minimum + 1
            previous = None
            continue
        if code == end:
            break
        if code < len(table):
            entry = table[code]
            if previous is not None:
                table.append(previous + entry[:1])
        elif previous is not None and code == len(table):
            entry = previous + previous[:1]
            table.append(entry)
        else:
            raise ValueError("bad LZW code")
        out += entry
        previous = entry
        if len(table) == (1 << size) and size < 12:
            size += 1
    if len(out) < count:
        raise ValueError("the image data ends early")
    return out[:count]


def _deinterlace(pixels, width, height):
    rows = []
    for start, step in ((0, 8), (4, 8), (2, 4), (1, 2)):
        rows.extend(range(start, height, step))
    out = bytearray(len(pixels))
    for i, y in enumerate(rows):
        out[y * width:(y + 1) * width] = pixels[i * width:(i + 1) * width]
    return out
