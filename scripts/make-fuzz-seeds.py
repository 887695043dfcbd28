#!/usr/bin/env python3
"""Cuts the fuzzers' seed corpora out of the real-tool fixtures.

    python3 scripts/make-fuzz-seeds.py <unpacked fixtures dir> fuzz/corpus

Each seed is a slice shaped as its harness reads its input (see fuzz/*.cpp):
directory sectors, FAT regions and directory clusters, volume heads, MFT
records, run lists, LZNT1 chunks, partition-table sectors. Where a harness
wants a small whole volume, a real boot sector has only its size fields cut
down. The output is committed; rerun only when the fixtures change.
"""
import os
import struct
import subprocess
import sys
import tempfile

SECTOR = 512


def read(path, offset, length):
    with open(path, "rb") as f:
        f.seek(offset)
        data = f.read(length)
    return data + bytes(length - len(data))


def put(out, fuzzer, name, data):
    folder = os.path.join(out, fuzzer)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def fat_geometry(path):
    b = read(path, 0, SECTOR)
    spc, reserved, fats, root_entries = b[13], struct.unpack_from("<H", b, 14)[0], b[16], struct.unpack_from("<H", b, 17)[0]
    fat_sectors = struct.unpack_from("<H", b, 22)[0] or struct.unpack_from("<I", b, 36)[0]
    root_sectors = (root_entries * 32 + SECTOR - 1) // SECTOR
    data = reserved + fats * fat_sectors + root_sectors
    return {"spc": spc, "reserved": reserved, "fat": reserved * SECTOR, "fat_sectors": fat_sectors,
            "root": (reserved + fats * fat_sectors) * SECTOR, "data": data * SECTOR}


def cluster_offset(g, c):
    return g["data"] + (c - 2) * g["spc"] * SECTOR


def fat_seeds(fx, out):
    f12, f16, f32, lost, frag = (os.path.join(fx, n) for n in
                                 ("fat-fat12.img", "fat-fat16-2k.img", "fat-fat32.img", "fat-lostdir.img",
                                  "fat-fragment.img"))
    g12, g16, g32, glost, gfrag = (fat_geometry(p) for p in (f12, f16, f32, lost, frag))

    # One directory sector each: roots of both kinds, and lost-folder clusters.
    put(out, "fat_dirsector_fuzz", "fat12-root", read(f12, g12["root"], SECTOR))
    put(out, "fat_dirsector_fuzz", "fat16-root", read(f16, g16["root"], SECTOR))
    put(out, "fat_dirsector_fuzz", "fragment-root", read(frag, gfrag["root"], SECTOR))
    put(out, "fat_dirsector_fuzz", "fat32-root", read(f32, cluster_offset(g32, 2), SECTOR))
    put(out, "fat_dirsector_fuzz", "lostdir-beta", read(lost, cluster_offset(glost, 44), SECTOR))
    put(out, "fat_dirsector_fuzz", "lostdir-gamma", read(lost, cluster_offset(glost, 45), SECTOR))

    # fat_scan_fuzz overlays its own small volumes from the FAT on: FAT12
    # (18 FAT sectors, 2 root sectors, then 512-byte clusters) and FAT32
    # (5 FAT sectors, then cluster 2, the root).
    fat12 = read(f12, g12["fat"], g12["fat_sectors"] * SECTOR).ljust(18 * SECTOR, b"\0")
    put(out, "fat_scan_fuzz", "fat12", fat12 + read(f12, g12["root"], 2 * SECTOR) + read(f12, g12["data"], 4096))
    for name, path, g in (("fat32", f32, g32), ("lostdir", lost, glost)):
        put(out, "fat_scan_fuzz", name, read(path, g["fat"], 5 * SECTOR) + read(path, cluster_offset(g, 2), 8 * SECTOR))

    # fat_volume_fuzz opens the input as a volume: real heads up to the part
    # of the FAT a volume needs; the FAT32 one with its size cut so that one
    # FAT sector covers it.
    put(out, "fat_volume_fuzz", "fat12-head", read(f12, 0, g12["root"] + 2 * SECTOR))
    put(out, "fat_volume_fuzz", "fat16-head", read(f16, 0, g16["fat"] + 33 * SECTOR))
    head = bytearray(read(lost, 0, glost["fat"] + SECTOR))
    struct.pack_into("<I", head, 32, glost["data"] // SECTOR + 64)
    put(out, "fat_volume_fuzz", "fat32-small", bytes(head))


def apply_fixups(rec):
    rec = bytearray(rec)
    usa, count = struct.unpack_from("<HH", rec, 4)
    for i in range(1, count):
        rec[i * SECTOR - 2:i * SECTOR] = rec[usa + 2 * i:usa + 2 * i + 2]
    return bytes(rec)


def data_runs(rec):
    """(run-list bytes, compressed) of the unnamed non-resident $DATA, or None."""
    rec = apply_fixups(rec)
    off = struct.unpack_from("<H", rec, 0x14)[0]
    while off + 8 <= len(rec):
        kind, length = struct.unpack_from("<II", rec, off)
        if kind == 0xFFFFFFFF or length == 0:
            break
        if kind == 0x80 and rec[off + 8] and rec[off + 9] == 0:
            runs = off + struct.unpack_from("<H", rec, off + 0x20)[0]
            return rec[runs:off + length], bool(struct.unpack_from("<H", rec, off + 0x0C)[0] & 1)
        off += length
    return None


def decode_runs(runs):
    out, pos, lcn = [], 0, 0
    while pos < len(runs) and runs[pos]:
        h = runs[pos]
        lb, ob = h & 15, h >> 4
        length = int.from_bytes(runs[pos + 1:pos + 1 + lb], "little")
        if ob:
            lcn += int.from_bytes(runs[pos + 1 + lb:pos + 1 + lb + ob], "little", signed=True)
        out.append((lcn if ob else None, length))
        pos += 1 + lb + ob
    return out


def whole_chunks(data, limit):
    """The LZNT1 chunks from the start of data that fit in limit bytes."""
    pos = 0
    while pos + 2 <= len(data):
        header = struct.unpack_from("<H", data, pos)[0]
        if header == 0:
            break
        size = (header & 0x0FFF) + 3
        if pos + size > limit:
            break
        pos += size
    return data[:pos]


def ntfs_seeds(fx, out):
    disk = os.path.join(fx, "ntfs-deleted.img")
    volume = 2048 * SECTOR
    cluster = 4096
    mft = volume + 4 * cluster
    record = lambda n: read(disk, mft + n * 1024, 1024)

    # $MFT, the root, a folder, then files: non-resident, resident, compressed, fragmented.
    names = {0: "mft", 5: "root", 64: "folder", 71: "nonresident", 72: "resident", 74: "compressed",
             79: "fragmented"}
    for n, name in names.items():
        put(out, "ntfs_record_fuzz", name, record(n))
        put(out, "ntfs_record_name_fuzz", name, record(n))

    # Run lists behind their flags byte (0x20: read as compression units).
    for n, name in ((0, "mft"), (71, "one-run"), (73, "large"), (74, "compressed"), (79, "fragmented"),
                    (90, "filler")):
        runs, compressed = data_runs(record(n))
        put(out, "ntfs_runlist_fuzz", name, bytes([0x20 if compressed else 0]) + runs)

    # LZNT1: whole chunks of compressed-gone.txt's first and last units.
    runs, _ = data_runs(record(74))
    stored = [(lcn, length) for lcn, length in decode_runs(runs) if lcn is not None]
    for (lcn, length), name in ((stored[0], "first-unit"), (stored[-1], "last-unit")):
        put(out, "lznt1_fuzz", name, whole_chunks(read(disk, volume + lcn * cluster, length * cluster), 4096))

    # ntfs_volume_fuzz scans its input as a volume: the real boot sector with
    # 512-byte clusters and its size cut, $MFT in place (its run now maps 11
    # records), and the old records 64..75 past it for the formatted scan.
    boot = bytearray(read(disk, volume, SECTOR))
    boot[0x0D] = 1
    struct.pack_into("<Q", boot, 0x28, 63)
    image = bytearray(64 * SECTOR)
    image[:SECTOR] = boot
    image[4 * SECTOR:4 * SECTOR + 11 * 1024] = read(disk, mft, 11 * 1024)
    lost = 4 * SECTOR + 11 * 1024
    image[lost:lost + 12 * 1024] = read(disk, mft + 64 * 1024, 12 * 1024)
    put(out, "ntfs_volume_fuzz", "deleted-volume", bytes(image[:lost + 12 * 1024]))


def partition_seeds(fx, out):
    sample = os.path.join(fx, "sample-disk.img")
    put(out, "partition_walk_fuzz", "mbr-extended", read(sample, 0, SECTOR))
    put(out, "partition_walk_fuzz", "mbr-ntfs", read(os.path.join(fx, "ntfs-deleted.img"), 0, SECTOR))
    put(out, "partition_walk_fuzz", "gpt", read(os.path.join(fx, "gpt-disk.img"), 0, 34 * SECTOR))
    put(out, "partition_walk_fuzz", "superfloppy-fat16", read(os.path.join(fx, "whole-fat16.img"), 0, SECTOR))


def lost_partition_seeds(fx, out):
    a, b = os.path.join(fx, "lost-a.img"), os.path.join(fx, "lost-b.img")
    # Heads of the lost volumes: boot sector to the first FAT sector, the EXT
    # superblock and group descriptors, the NTFS boot sector and its backup.
    put(out, "partition_probe_fuzz", "fat32-head", read(b, 2048 * SECTOR, 40 * SECTOR))
    put(out, "partition_probe_fuzz", "fat16-head", read(b, 106496 * SECTOR, 8 * SECTOR))
    put(out, "partition_probe_fuzz", "ext3-head", read(a, 141312 * SECTOR, 8 * SECTOR))
    put(out, "partition_probe_fuzz", "ntfs-boot", read(a, 71680 * SECTOR, SECTOR))
    put(out, "partition_probe_fuzz", "mbr-ebr", read(a, 0, SECTOR) + read(a, 104448 * SECTOR, SECTOR))
    # A backup of two records, and an undo file of one sector with it.
    model = b"Vantor Disk Image lost-a.img"
    drive = model + bytes(264 - len(model)) + struct.pack("<qIIII", 128 << 20, 0, 0, 0, 0)
    def record(fs, start, count, boot):
        r = bytearray(600)
        struct.pack_into("<iBB", r, 0, 0, ord("*"), 1)
        r[16:16 + len(fs)] = fs
        struct.pack_into("<I", r, 52, start)
        struct.pack_into("<Q", r, 72, count * SECTOR)
        r[80:592] = boot
        return bytes(r)
    pbf = struct.pack("<I", 0x89ABCDEF) + drive + record(b"#FAT32#", 2048, 69632, read(a, 2048 * SECTOR, SECTOR)) \
        + record(b"Deleted", 71680, 32768, bytes(SECTOR))
    put(out, "backup_file_fuzz", "two-records", pbf)
    mbr = read(a, 0, SECTOR)
    undo = b"VNTRUNDO" + struct.pack("<IIQQ", 1, 1, len(pbf), 128 << 20) + struct.pack("<Q", 0) + mbr + mbr + pbf
    put(out, "backup_file_fuzz", "undo-one-sector", undo)


def ext_seeds(out):
    # The fixtures' EXT volumes are megabytes; the whole-volume harness wants a
    # small one, so a 64 KiB ext2 is made the same way (mke2fs + debugfs, fixed
    # clock and UUID) with one live and one deleted file.
    env = dict(os.environ, E2FSPROGS_FAKE_TIME="1700000000")
    with tempfile.TemporaryDirectory() as tmp:
        img, data = os.path.join(tmp, "v.img"), os.path.join(tmp, "data")
        with open(data, "wb") as f:
            f.write(bytes((i * 7) & 0xFF for i in range(3000)))
        subprocess.run(["mke2fs", "-q", "-F", "-t", "ext2", "-b", "1024", "-N", "16", "-m", "0",
                        "-U", "6f1c2d3e-0000-4000-8000-000000000001", "-E", "hash_seed=6f1c2d3e-0000-4000-8000-000000000002",
                        img, "64"], check=True, env=env, capture_output=True)
        for cmd in ("mkdir d", "write %s d/keep.bin" % data, "write %s d/gone.bin" % data, "rm d/gone.bin"):
            subprocess.run(["debugfs", "-w", "-R", cmd, img], check=True, env=env, capture_output=True)
        with open(img, "rb") as f:
            vol = f.read()
        # mke2fs leaves the unwritten tail as a hole past the file's end.
        put(out, "ext_volume_fuzz", "ext2-64k", vol + bytes(64 * 1024 - len(vol)))


def ext_journal_seeds(fx, out):
    # Real JBD2 blocks: the head of the 1 KiB ext-journal.img volume's journal,
    # and the root folder block of each of its volumes. The journal harness puts its input
    # in the journal of a small ext3 volume (inode table at block 5, inodes
    # of 128 bytes), so one more seed is a transaction built for that volume:
    # a copy of inode-table block 5 holding a regular file, a directory
    # block naming it, and a commit.
    img = os.path.join(fx, "ext-journal.img")
    for tag, start in (("ext3-1k", 2048), ("ext3-4k", 18432), ("ext4", 51200)):
        base = start * SECTOR
        sb = read(img, base + 1024, 1024)
        bs = 1024 << struct.unpack_from("<I", sb, 24)[0]
        ipg, isz = struct.unpack_from("<I", sb, 40)[0], struct.unpack_from("<H", sb, 88)[0]
        gdt = base + (struct.unpack_from("<I", sb, 20)[0] + 1) * bs
        table = struct.unpack_from("<I", read(img, gdt, 32), 8)[0]

        def inode(n):
            return read(img, base + table * bs + (n - 1) * isz, isz)

        def block(inode_bytes, i):
            if struct.unpack_from("<I", inode_bytes, 32)[0] & 0x80000:  # extents, depth 0
                return struct.unpack_from("<I", inode_bytes, 40 + 12 + 8)[0] + i
            return struct.unpack_from("<I", inode_bytes, 40 + 4 * i)[0]

        journal = inode(struct.unpack_from("<I", sb, 224)[0])
        head = b"".join(read(img, base + block(journal, i) * bs, bs) for i in range(min(12, 65536 // bs)))
        if bs == 1024:  # the harness volume's block size
            put(out, "ext_journal_fuzz", tag + "-head", head)
        put(out, "ext_dirblock_fuzz", tag + "-root", bytes([1 if bs == 4096 else 0]) + read(img, base + block(inode(2), 0) * bs, bs))

    be = lambda *v: b"".join(struct.pack(">I", x) for x in v)
    jsb = (be(0xC03B3998, 4, 0, 1024, 64, 1, 1, 0) + bytes(1024 - 32))
    desc = be(0xC03B3998, 1, 7) + be(5, 0) + bytes(16) + be(20, 2 | 8)
    desc += bytes(1024 - len(desc))
    itable = bytearray(1024)
    struct.pack_into("<HHIIIIIHHIII", itable, 6 * 128, 0x81A4, 0, 3000, 1700000000, 1700000000,
                     1700000000, 0, 0, 1, 6, 0, 0)
    struct.pack_into("<III", itable, 6 * 128 + 40, 30, 31, 32)
    dirb = bytearray(1024)
    struct.pack_into("<IHBB", dirb, 0, 2, 12, 1, 2); dirb[8:9] = b"."
    struct.pack_into("<IHBB", dirb, 12, 2, 12, 2, 2); dirb[20:22] = b".."
    struct.pack_into("<IHBB", dirb, 24, 7, 1000, 8, 1); dirb[32:40] = b"gone.txt"
    commit = be(0xC03B3998, 2, 7) + bytes(1012)
    put(out, "ext_journal_fuzz", "built-transaction", jsb + desc + bytes(itable) + bytes(dirb) + commit)
    put(out, "ext_dirblock_fuzz", "built-first-block", b"\x00" + bytes(dirb))


def exfat_set(name, attr, first, length, deleted=False, no_fat=True):
    """One file entry set (85h, C0h, C1h...) with its checksum and name hash."""
    units = name.encode("utf-16-le")
    n = len(name)
    names = (n + 14) // 15
    entries = bytearray(32 * (2 + names))
    struct.pack_into("<BBHH", entries, 0, 0x85, 1 + names, 0, attr)
    struct.pack_into("<III", entries, 8, 0x576E0000 | 0xB28A, 0x576E0000 | 0xB28A, 0x576E0000)
    h = 0
    for b in name.upper().encode("utf-16-le"):
        h = (((h & 1) << 15) + (h >> 1) + b) & 0xFFFF
    struct.pack_into("<BBBBHHQIIQ", entries, 32, 0xC0, 1 | (2 if no_fat else 0), 0, n, h, 0, length, 0, first, length)
    for i in range(names):
        entries[64 + 32 * i] = 0xC1
        chunk = units[30 * i:30 * (i + 1)]
        entries[64 + 32 * i + 2:64 + 32 * i + 2 + len(chunk)] = chunk
    total = 0
    for i, b in enumerate(entries):
        if i not in (2, 3):
            total = (((total & 1) << 15) + (total >> 1) + b) & 0xFFFF
    struct.pack_into("<H", entries, 2, total)
    if deleted:
        for i in range(0, len(entries), 32):
            entries[i] &= 0x7F
    return bytes(entries)


def exfat_seeds(fx, out):
    # A 64 KiB exFAT (512-byte clusters) from mkfs.exfat, its serial pinned,
    # with entry sets written in: a live file, a deleted chained file, a
    # deleted folder with a file, and a folder whose parent is gone.
    with tempfile.TemporaryDirectory() as tmp:
        img = os.path.join(tmp, "v.img")
        with open(img, "wb") as f:
            f.truncate(64 * 1024)
        subprocess.run(["mkfs.exfat", "-c", "512", "-b", "4K", "-L", "SEED", img], check=True, capture_output=True)
        with open(img, "rb") as f:
            vol = bytearray(f.read())
    struct.pack_into("<I", vol, 100, 0x5A3E0F00)
    heap = struct.unpack_from("<I", vol, 88)[0] * SECTOR
    fat = struct.unpack_from("<I", vol, 80)[0] * SECTOR
    root = struct.unpack_from("<I", vol, 96)[0]

    def at(c):
        return heap + (c - 2) * SECTOR

    def put_entries(c, skip, data):
        vol[at(c) + skip:at(c) + skip + len(data)] = data

    put_entries(root, 96, exfat_set("keep.txt", 0x20, 16, 600) + exfat_set("gone.bin", 0x20, 18, 1000, True, False) +
                exfat_set("old", 0x10, 22, 512, True))
    put_entries(22, 0, exfat_set("inner.txt", 0x20, 23, 100, True))
    put_entries(30, 0, exfat_set("sub", 0x10, 31, 512))
    put_entries(31, 0, exfat_set("deep.dat", 0x20, 32, 300))
    for c, n in ((18, 20), (20, 0xFFFFFFFF)):
        struct.pack_into("<I", vol, fat + 4 * c, n)
    for c in (16, 17, 18, 20, 23, 32):
        vol[at(c):at(c) + SECTOR] = bytes(((c * 31 + i) & 0xFF) for i in range(SECTOR))
    bitmap = at(struct.unpack_from("<I", vol, at(root) + 32 + 20)[0])
    for c in (16, 17):
        vol[bitmap + (c - 2) // 8] |= 1 << ((c - 2) % 8)
    # The boot checksum over sectors 0-10, in sector 11 and the backup region.
    total = 0
    for i, b in enumerate(vol[:11 * SECTOR]):
        if i not in (106, 107, 112):
            total = ((total >> 1) | ((total & 1) << 31)) + b & 0xFFFFFFFF
    for region in (0, 12):
        if region:
            vol[12 * SECTOR:23 * SECTOR] = vol[:11 * SECTOR]
        vol[(region + 11) * SECTOR:(region + 12) * SECTOR] = struct.pack("<I", total) * (SECTOR // 4)
    put(out, "exfat_volume_fuzz", "exfat-64k", bytes(vol))
    put(out, "exfat_formatted_fuzz", "exfat-64k", bytes(vol))
    put(out, "exfat_entryset_fuzz", "root", bytes(vol[at(root):at(root) + SECTOR]))
    # A real directory cluster of the exfat-fuse fixture: deleted sets with
    # non-ASCII and 255-character names.
    disk = os.path.join(fx, "exfat-deleted.img")
    with open(disk, "rb") as f:
        image = f.read()
    where = image.find("Übersicht".encode("utf-16-le"))
    if where >= 0:
        start = 2048 * SECTOR + (where - 2048 * SECTOR) // 4096 * 4096
        put(out, "exfat_entryset_fuzz", "dokumente", image[start:start + 4096])
RAW_EXTS = ["jpg", "png", "gif", "bmp", "wav", "aif", "zip", "mp4", "mkv", "ogg", "sqlite",
            "doc", "gz", "xz", "bz2", "elf", "exe", "tif", "mid", "mp3", "flac", "pdf"]


def raw_seeds(fx, out):
    here = os.path.dirname(os.path.abspath(__file__))
    table = open(os.path.join(here, "..", "resources", "rp.dat"), "rb").read()
    put(out, "raw_markup_fuzz", "rp.dat", table)
    # The compressed form with stored chunks only: shifted text, 4 KiB a chunk.
    shifted = bytes((b + 1) & 0xFF for b in table)
    packed = b"".join(struct.pack("<H", 0x3000 | (len(c) - 1)) + c
                      for c in (shifted[i:i + 4096] for i in range(0, len(shifted), 4096)))
    put(out, "raw_markup_fuzz", "rp.dat.packed", packed)
    files = os.path.join(fx, "raw-carving", "files")
    aliases = {"aiff": "aif", "webp": "wav", "docx": "zip", "odt": "zip", "epub": "zip"}
    for name in sorted(os.listdir(files)):
        ext = aliases.get(name.rsplit(".", 1)[1], name.rsplit(".", 1)[1])
        if ext not in RAW_EXTS or not name.split(".")[0].endswith("1"):
            continue
        data = open(os.path.join(files, name), "rb").read()[:16384]
        put(out, "raw_format_end_fuzz", name, bytes([RAW_EXTS.index(ext)]) + data)
    small = (b"<r v='1'><t><e>jpg</e><d>J</d><s n='1'><p o='0'>ffd8ff</p></s></t>"
             b"<t><e>png</e><d>P</d><s n='1'><p o='0'>89504e47</p></s></t>"
             b"<t><e>iso</e><d>I</d><s n='2'><p o='0'>aa</p><p o='512'>cc|d</p></s></t></r>\n")
    jpg = open(os.path.join(files, "photo1.jpg"), "rb").read()[:3000]
    png = open(os.path.join(files, "image1.png"), "rb").read()[:2000]
    disk = jpg + bytes(-len(jpg) % 512) + png + bytes(-len(png) % 512) + b"\xaa" * 512 + b"\xcc" * 512
    put(out, "raw_matcher_fuzz", "jpg-png-iso", small + disk)


def mail_seeds(fx, out):
    # The real Outlook file's header alone: its end-of-file field points past
    # it, which leaves five clues of six.
    put(out, "pst_header_fuzz", "dist-list-head", read(os.path.join(fx, "dist-list.pst"), 0, 564))
    # No real DBX exists here: one message of two chained blocks behind an
    # index node, laid out as the harness reads its input (the root, then the
    # bytes from 0x24BC on).
    base, node, info, b1, b2 = 0x24BC, 0x24BC, 0x24BC + 0x24, 0x24BC + 0x40, 0x24BC + 0x250
    body = bytearray(0x250 + 0x210)
    struct.pack_into("<IIII", body, node - base, node, 0, 0, 0)
    body[node - base + 0x11] = 1
    struct.pack_into("<III", body, node - base + 0x18, info, 0, 0)
    struct.pack_into("<IIIII", body, info - base, info, 8, 8 | (2 << 16), 0x80, 0x04)
    struct.pack_into("<I", body, info - base + 20, b1)
    text = b"From: a@example.org\r\nSubject: seed\r\n\r\n" + b"x" * 600
    struct.pack_into("<IIII", body, b1 - base, b1, 0x200, 0x200, b2)
    body[b1 - base + 16:b1 - base + 16 + 0x200] = text[:0x200]
    struct.pack_into("<IIII", body, b2 - base, b2, 0x200, len(text) - 0x200, 0)
    body[b2 - base + 16:b2 - base + 16 + len(text) - 0x200] = text[0x200:]
    put(out, "dbx_chain_fuzz", "one-message", struct.pack("<I", node) + bytes(body))


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    fx, out = sys.argv[1], sys.argv[2]
    fat_seeds(fx, out)
    ntfs_seeds(fx, out)
    partition_seeds(fx, out)
    lost_partition_seeds(fx, out)
    ext_seeds(out)
    ext_journal_seeds(fx, out)
    exfat_seeds(fx, out)
    raw_seeds(fx, out)
    mail_seeds(fx, out)


if __name__ == "__main__":
    main()
