"""Reads the resources of a PE image (.exe): the resource directory, the
version information (VS_VERSIONINFO) and the application manifest."""

import struct

RT_VERSION = 16
RT_MANIFEST = 24
RESOURCE_DIRECTORY_ENTRY = 2  # index in the optional header's data directories
FIXED_FILE_INFO_SIGNATURE = 0xFEEF04BD


class PeError(Exception):
    pass


def _unpack(fmt, data, offset):
    size = struct.calcsize(fmt)
    if offset < 0 or offset + size > len(data):
        raise PeError("truncated image: {} bytes wanted at offset {}".format(size, offset))
    return struct.unpack_from(fmt, data, offset)


def _sections_and_resource_rva(image):
    if image[:2] != b"MZ":
        raise PeError("no MZ header")
    (pe_offset,) = _unpack("<I", image, 0x3C)
    if image[pe_offset : pe_offset + 4] != b"PE\0\0":
        raise PeError("no PE signature")
    _, section_count, _, _, _, optional_size, _ = _unpack("<HHIIIHH", image, pe_offset + 4)
    optional = pe_offset + 24
    (magic,) = _unpack("<H", image, optional)
    directories = {0x10B: 96, 0x20B: 112}.get(magic)  # PE32, PE32+
    if directories is None:
        raise PeError("unknown optional header magic {:#x}".format(magic))
    (directory_count,) = _unpack("<I", image, optional + directories - 4)
    if directory_count <= RESOURCE_DIRECTORY_ENTRY:
        return [], 0, 0
    rva, size = _unpack("<II", image, optional + directories + 8 * RESOURCE_DIRECTORY_ENTRY)
    sections = []
    table = optional + optional_size
    for index in range(section_count):
        virtual_size, virtual_address, raw_size, raw_pointer = _unpack(
            "<IIII", image, table + 40 * index + 8
        )
        sections.append((virtual_address, max(virtual_size, raw_size), raw_pointer))
    return sections, rva, size


def _file_offset(sections, rva):
    for virtual_address, size, raw_pointer in sections:
        if virtual_address <= rva < virtual_address + size:
            return rva - virtual_address + raw_pointer
    raise PeError("address {:#x} lies in no section".format(rva))


def resources(image):
    """Returns {(type id, resource id): bytes} of the image's resources with
    numeric ids (the first language of each)."""
    sections, rva, size = _sections_and_resource_rva(image)
    if rva == 0 or size == 0:
        return {}
    base = _file_offset(sections, rva)

    def entries(directory):
        _, _, _, _, named, numbered = _unpack("<IIHHHH", image, base + directory)
        for index in range(named + numbered):
            name, target = _unpack("<II", image, base + directory + 16 + 8 * index)
            if not name & 0x80000000:  # numeric ids only; named ones are not ours
                yield name, target

    found = {}
    for type_id, type_target in entries(0):
        if not type_target & 0x80000000:
            continue
        for resource_id, id_target in entries(type_target & 0x7FFFFFFF):
            if not id_target & 0x80000000:
                continue
            for _, language_target in entries(id_target & 0x7FFFFFFF):
                data_rva, data_size = _unpack("<II", image, base + language_target)
                start = _file_offset(sections, data_rva)
                found.setdefault((type_id, resource_id), image[start : start + data_size])
    return found


def _version_block(data, offset):
    """One block of VS_VERSIONINFO: (key, value bytes, children, end offset)."""
    length, value_length, value_type = _unpack("<HHH", data, offset)
    end = offset + length
    key_start = offset + 6
    key_end = key_start
    while data[key_end : key_end + 2] != b"\0\0":
        key_end += 2
        if key_end >= end:
            raise PeError("version block key without its end")
    key = data[key_start:key_end].decode("utf-16-le")
    value_start = (key_end + 2 + 3) & ~3
    value_size = value_length * 2 if value_type == 1 else value_length
    value = data[value_start : value_start + value_size]
    children = []
    child = (value_start + value_size + 3) & ~3
    while child < end:
        block = _version_block(data, child)
        children.append(block[:3])
        child = (block[3] + 3) & ~3
    return key, value, children, end


def version_info(data):
    """Returns (file version, product version, {string name: text}) of a
    VS_VERSIONINFO resource; versions as tuples of four numbers."""
    key, fixed, children, _ = _version_block(data, 0)
    if key != "VS_VERSION_INFO":
        raise PeError("version resource key {!r}".format(key))
    if len(fixed) < 52 or struct.unpack_from("<I", fixed)[0] != FIXED_FILE_INFO_SIGNATURE:
        raise PeError("no VS_FIXEDFILEINFO")
    file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<IIII", fixed, 8)

    def four(ms, ls):
        return (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)

    strings = {}
    for child_key, _, tables in children:
        if child_key != "StringFileInfo":
            continue
        for _, _, entries in tables:
            for name, text, _ in entries:
                strings[name] = text.decode("utf-16-le").rstrip("\0")
    return four(file_ms, file_ls), four(product_ms, product_ls), strings
