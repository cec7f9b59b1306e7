#!/usr/bin/env python3
"""Finishes a type library widl wrote (MSFT format) in two ways widl cannot.

- Every enumerator gets its own name as its help string: each constant's record of an
  enumeration gains its help context (0) and help string, the strings are appended to the
  string table, and every offset after a grown part moves along.
- The enumerations come last, after the interfaces and classes, in their declared order: widl
  declares a type before the first type that uses it. The type descriptions' records are put
  in the new order, and every reference to one of them (their index, the reference table, the
  user-defined type descriptions, the GUID and name tables) follows.
    finish-type-library.py IN.tlb OUT.tlb
"""
import struct
import sys

TKIND_ENUM = 0
HEADER_SIZE = 0x54
SEGMENTS = 15
TYPEINFO_SIZE = 0x64
STRING_SEGMENT = 8
NAME_SEGMENT = 7
BASE_VAR_RECORD = 20  # Info, DataType, Flags, VarKind and size, OffsValue
HELP_VAR_RECORD = 28  # ... and HelpContext, HelpString


def main(source, target):
    data = bytearray(open(source, "rb").read())
    magic, _, _, _, _, varflags, _, _, count = struct.unpack_from("<9I", data, 0)
    if magic != 0x5446534D:
        sys.exit(f"{source}: not an MSFT type library")
    position = HEADER_SIZE + (4 if varflags & 0x100 else 0) + 4 * count
    directory = position
    segments = [list(struct.unpack_from("<iiii", data, directory + 16 * i)) for i in range(SEGMENTS)]
    typeinfos = segments[0][0]
    names = segments[NAME_SEGMENT][0]
    strings_start, strings_length = segments[STRING_SEGMENT][0], segments[STRING_SEGMENT][1]

    def name_at(offset):
        length = data[names + offset + 8]
        return bytes(data[names + offset + 12 : names + offset + 12 + length])

    added = bytearray()
    replaced = {}  # start of a member block -> (its old length, its new bytes)
    for index in range(count):
        base = typeinfos + TYPEINFO_SIZE * index
        kind, block = struct.unpack_from("<ii", data, base)
        elements = struct.unpack_from("<i", data, base + 0x18)[0]
        if kind & 0xF != TKIND_ENUM:
            continue
        variables = elements >> 16
        records_length = struct.unpack_from("<i", data, block)[0]
        records = block + 4
        arrays = records + records_length
        name_offsets = struct.unpack_from(f"<{variables}i", data, arrays + 4 * variables)
        record_offsets = struct.unpack_from(f"<{variables}i", data, arrays + 8 * variables)
        new_records = bytearray()
        new_offsets = []
        for i in range(variables):
            start = records + record_offsets[i]
            info = struct.unpack_from("<I", data, start)[0]
            if info & 0xFFFF != BASE_VAR_RECORD:
                sys.exit(f"{source}: an enumerator record of {info & 0xFFFF} bytes, not {BASE_VAR_RECORD}")
            text = name_at(name_offsets[i])
            string_offset = strings_length + len(added)
            entry = struct.pack("<H", len(text)) + text
            added += entry + b"W" * (-len(entry) % 4)
            record = bytearray(data[start : start + BASE_VAR_RECORD])
            struct.pack_into("<I", record, 0, (info & 0xFFFF0000) | HELP_VAR_RECORD)
            new_offsets.append(len(new_records))
            new_records += record + struct.pack("<ii", 0, string_offset)
        old_length = 4 + records_length + 12 * variables
        new_block = (
            struct.pack("<i", len(new_records))
            + new_records
            + data[arrays : arrays + 8 * variables]
            + struct.pack(f"<{variables}i", *new_offsets)
        )
        replaced[block] = (old_length, bytes(new_block))

    # Where each part starts now: after the string table, and after a grown block, later parts move.
    strings_end = strings_start + strings_length
    growth = [(strings_end, len(added))] + [(start + 1, len(new) - old) for start, (old, new) in replaced.items()]

    def moved(offset):
        return offset + sum(delta for at, delta in growth if offset >= at)

    output = bytearray()
    cursor = 0
    for at in sorted([strings_end] + list(replaced)):
        output += data[cursor:at]
        if at == strings_end:
            output += added
            cursor = at
        else:
            old, new = replaced[at]
            output += new
            cursor = at + old
    output += data[cursor:]

    shifted_directory = moved(directory)
    for i, segment in enumerate(segments):
        if segment[0] >= 0:
            segment[0] = strings_start if i == STRING_SEGMENT else moved(segment[0])
        if i == STRING_SEGMENT:
            segment[1] = strings_length + len(added)
        struct.pack_into("<iiii", output, shifted_directory + 16 * i, *segment)
    new_typeinfos = segments[0][0]
    for index in range(count):
        base = new_typeinfos + TYPEINFO_SIZE * index
        block = struct.unpack_from("<i", output, base + 4)[0]
        if block >= 0:
            struct.pack_into("<i", output, base + 4, moved(block))
    put_enumerations_last(output, count, shifted_directory, segments)
    open(target, "wb").write(output)


def put_enumerations_last(data, count, directory, segments):
    typeinfos = segments[0][0]
    records = [bytes(data[typeinfos + TYPEINFO_SIZE * i : typeinfos + TYPEINFO_SIZE * (i + 1)]) for i in range(count)]
    kinds = [struct.unpack_from("<i", record, 0)[0] & 0xF for record in records]
    order = [i for i in range(count) if kinds[i] != TKIND_ENUM] + [i for i in range(count) if kinds[i] == TKIND_ENUM]
    position = {old: new for new, old in enumerate(order)}

    # A reference to a type description of the library is its record's offset in the table.
    def moved(reference):
        if reference >= 0 and reference % TYPEINFO_SIZE == 0 and reference // TYPEINFO_SIZE < count:
            return position[reference // TYPEINFO_SIZE] * TYPEINFO_SIZE
        return reference

    def remap(offset):
        struct.pack_into("<i", data, offset, moved(struct.unpack_from("<i", data, offset)[0]))

    guids, names = segments[5][0], segments[NAME_SEGMENT]
    for new, old in enumerate(order):
        record = bytearray(records[old])
        kind = struct.unpack_from("<i", record, 0)[0]
        struct.pack_into("<i", record, 0, (kind & 0xFFFF) | (new << 16))
        # An interface's base, when it is a type of this library.
        if kind & 0xF in (3, 4):
            base = struct.unpack_from("<i", record, 0x54)[0]
            if base >= 0 and base % 2 == 0:
                struct.pack_into("<i", record, 0x54, moved(base))
        data[typeinfos + TYPEINFO_SIZE * new : typeinfos + TYPEINFO_SIZE * (new + 1)] = record
        remap(guids + struct.unpack_from("<i", record, 0x2C)[0] + 16)
    # The implemented interfaces of classes and interfaces; imported ones are odd.
    references, length = segments[3][0], segments[3][1]
    for offset in range(references, references + length, 16):
        if struct.unpack_from("<i", data, offset)[0] % 2 == 0:
            remap(offset)
    # User-defined types in parameters and results.
    descriptions, length = segments[9][0], segments[9][1]
    for offset in range(descriptions, descriptions + length, 8):
        if struct.unpack_from("<H", data, offset)[0] & 0xFFF == 29 and struct.unpack_from("<i", data, offset + 4)[0] % 2 == 0:
            remap(offset + 4)
    # Each name carries the type description it belongs to.
    offset, end = names[0], names[0] + names[1]
    while offset < end:
        remap(offset)
        length = data[offset + 8]
        offset += 12 + (length + 3) // 4 * 4


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
