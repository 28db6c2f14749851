#!/usr/bin/env python3
"""Reference results of the Edit menu's commands, computed the plain way over whole byte
strings, for the end-to-end tests to compare the program's saved files with.

  edit_refs.py data WAV OUT                  the data chunk's bytes (those present)
  edit_refs.py record RATE BITS CH OUT       the 16-byte format record
  edit_refs.py edit OP WAV POSITION [ADDED] OUT
        OP: paste, mix, insert, delete-before, delete-after; WAV the sound before the
        command, POSITION the slider's hundredths, ADDED the added samples: raw bytes in
        the sound's format, or a .wav file whose samples are first converted to it (rate
        ratios must be exact in binary: the reference does not model extended precision);
        OUT receives the sound's data after the command
  edit_refs.py convert WAV BITS RATE CH OUT  the canonical WAV file Convert and Save As give
  edit_refs.py same A B                      "same", or where two files first differ
"""
import struct
import sys


def wav_parts(path):
    """(rate, bits, channels, data) of a WAV file."""
    b = open(path, 'rb').read()
    at, fmt, data = 12, None, None
    while at + 8 <= len(b):
        cid, size = b[at:at + 4], struct.unpack('<I', b[at + 4:at + 8])[0]
        if cid == b'fmt ':
            fmt = struct.unpack('<HHIIHH', b[at + 8:at + 24])
        elif cid == b'data':
            data = b[at + 8:at + 8 + size]
            break
        at += 8 + size + (size & 1)
    _, channels, rate, _, _, bits = fmt
    return rate, bits, channels, data


def mix8(a, e):
    v = ((a - 127) / 127 + (e - 127) / 127 + 1.0) * 0.5 * 255.0
    return int(min(255.0, max(0.0, v)))


def mix16(a, e):
    return max(-32768, min(32767, a + e))


def f32(x):
    return struct.unpack('<f', struct.pack('<f', x))[0]


def convert(data, source, target):
    """The three stages of Convert: width, then rate, then channels."""
    (bits, rate, ch), (nbits, nrate, nch) = source, target
    if bits != nbits:
        if bits == 16:
            samples = struct.unpack('<%dh' % (len(data) // 2), data[:len(data) // 2 * 2])
            data = bytes(int(f32(127 * f32(s / 32768)) + 127) for s in samples)
        else:
            out = []
            for c in data:
                v = min(65535.0, max(0.0, (f32((c - 127) / 127) + 1.0) * 0.5 * 65536.0))
                out.append(int(v + 0.5) - 32768)
            data = struct.pack('<%dh' % len(out), *out)
    if rate != nrate:
        frame = nbits // 8 * ch
        frames = len(data) * nrate // rate // frame
        data = b''.join(data[j * rate // nrate * frame:(j * rate // nrate + 1) * frame] for j in range(frames))
    if ch != nch:
        size = nbits // 8
        if nch == 2:
            data = b''.join(data[i:i + size] * 2 for i in range(0, len(data) - len(data) % size, size))
        elif size == 1:
            data = bytes((data[i] + data[i + 1]) // 2 for i in range(0, len(data) - 1, 2))
        else:
            pairs = struct.unpack('<%dh' % (len(data) // 4 * 2), data[:len(data) // 4 * 4])
            mono = [int((pairs[i] + pairs[i + 1]) / 2) for i in range(0, len(pairs), 2)]
            data = struct.pack('<%dh' % len(mono), *mono)
    return data


def edit(op, path, position, added):
    rate, bits, channels, sound = wav_parts(path)
    frame = bits // 8 * channels
    if isinstance(added, tuple):
        arate, abits, achannels, adata = added
        added = convert(adata, (abits, arate, achannels), (bits, rate, channels))
    offset = min(int(position * 0.01 * (rate * frame)), len(sound))
    offset -= offset % frame
    added = added[:len(added) - len(added) % frame]
    if op == 'delete-before':
        return sound[offset:]
    if op == 'delete-after':
        return sound[:offset]
    if op == 'insert':
        return sound[:offset] + added + sound[offset:]
    out = bytearray(sound)
    out.extend(b'\0' * max(0, offset + len(added) - len(sound)))
    if op == 'paste':
        out[offset:offset + len(added)] = added
        return bytes(out)
    left = len(sound) - offset
    if bits == 8:
        for i, a in enumerate(added):
            out[offset + i] = mix8(a, sound[offset + i] if i < left else 127)
        return bytes(out)
    for i in range(len(added) // 2):
        a = struct.unpack_from('<h', added, 2 * i)[0]
        e = struct.unpack_from('<h', sound, offset + 2 * i)[0] if i < left // 2 else 0
        struct.pack_into('<h', out, offset + 2 * i, mix16(a, e))
    return bytes(out)


def main(args):
    if args[0] == 'data':
        open(args[2], 'wb').write(wav_parts(args[1])[3])
    elif args[0] == 'record':
        rate, bits, ch = map(int, args[1:4])
        align = bits // 8 * ch
        open(args[4], 'wb').write(struct.pack('<HHIIHH', 1, ch, rate, rate * align, align, bits))
    elif args[0] == 'edit':
        op, path, position = args[1], args[2], int(args[3])
        added = b''
        if len(args) == 6:
            added = wav_parts(args[4]) if args[4].endswith('.wav') else open(args[4], 'rb').read()
        open(args[-1], 'wb').write(edit(op, path, position, added))
    elif args[0] == 'convert':
        rate, bits, ch, data = wav_parts(args[1])
        nbits, nrate, nch = map(int, args[2:5])
        data = convert(data, (bits, rate, ch), (nbits, nrate, nch))
        align = nbits // 8 * nch
        header = b'RIFF' + struct.pack('<I', len(data) + 36) + b'WAVEfmt '
        header += struct.pack('<IHHIIHH', 16, 1, nch, nrate, nrate * align, align, nbits)
        open(args[5], 'wb').write(header + b'data' + struct.pack('<I', len(data)) + data)
    elif args[0] == 'same':
        a, b = open(args[1], 'rb').read(), open(args[2], 'rb').read()
        if a == b:
            print('same')
        else:
            at = next((i for i in range(min(len(a), len(b))) if a[i] != b[i]), min(len(a), len(b)))
            print('differ at byte %d (sizes %d and %d)' % (at, len(a), len(b)))
    else:
        sys.exit(__doc__)


if __name__ == '__main__':
    main(sys.argv[1:])
