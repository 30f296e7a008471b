#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets (corpus/<target>/<name>).

The seeds are the good exchanges and valid inputs, so that the fuzzer starts
from deep inside each machine and parser instead of having to find the way
in. Run again after changing an input layout; the files are committed.
"""
import glob
import hashlib
import json
import os

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
CORPUS = os.path.join(HERE, "corpus")


def encode(payload):
    out = [0xFF]
    for b in payload:
        out += [0xFD, b & 0x7F] if b > 0xFC else [b]
    return out + [0xFE]


def check_byte(word):
    reg = word
    for _ in range(23):
        reg <<= 1
        if reg & (1 << 23):
            reg ^= 0xA1 << 16
    return (reg >> 16) & 0xFF


def setup_block(byte1, byte2, major=2, minor=30):
    return [byte1, byte2, check_byte(byte1 | (byte2 << 8)), major, minor]


def record():
    """A sensible configuration: three 5-tone addresses, alarm lists, relays."""
    r = [0xFF] * 108
    r[0] = 3
    for n, text in enumerate([b"12345", b"23456", b"34567"]):
        r[1 + 5 * n:6 + 5 * n] = list(text)
    lists = [[0x45, 0x8C, 0x20, 0x05], [0xC3], [0x41, 0x01], [0x4A, 0x0A], [0x80 | 60, 0x99]]
    for a, lst in enumerate(lists):
        r[51 + 9 * a:51 + 9 * a + len(lst)] = lst
    r[96], r[97], r[98], r[99] = 30, 120, 2, 1
    r[100:108] = [0x10, 5, 0xA1, 180, 0xFF, 0, 0xF2, 60]
    return r


def config_file(rec):
    s = sum(rec) & 0xFFFF
    return list(b"ZAV-Konfigurationsdatei") + rec + [s & 0xFF, s >> 8]


# Worker input: a block length choice, then events (see worker_fuzz.cpp).
def frame_event(payload, late=False):
    return [0x81 if late else 0x01, len(payload)] + list(payload)


def silences(n):
    return [0x03 | (n << 2)]


def write(target, name, data):
    directory = os.path.join(CORPUS, target)
    os.makedirs(directory, exist_ok=True)
    with open(os.path.join(directory, name), "wb") as f:
        f.write(bytes(data))


def main():
    rec = record()
    block = setup_block(0xBF, 0x05)

    # Decoder: a chunking choice, then line bytes.
    write("fuzz_frame_decoder", "identify_exchange", [3] + encode([0x2B]) + encode([0xF0]) + encode(block))
    write("fuzz_frame_decoder", "noise_and_escapes", [0] + [0x00, 0xFF, 0xFD, 0x7E, 0x12, 0xFE] +
          [0xFF, 0x2B, 0xFF, 0xF0, 0xFE] + encode([0xFF, 0xFF, 0x41]) + [0xFF, 0xFD, 0xFE])
    blocks = []
    for n in range(13):
        blocks += encode([n, 0] + rec[8 * n:8 * n + 8])
    write("fuzz_frame_decoder", "read_blocks", [7] + blocks + encode([0xFF, 0xFF] + [0x33] * 8))
    write("fuzz_frame_decoder", "long_frame", [1] + [0xFF] + [0x41] * 120 + [0xFE] + encode([0x60]))

    # Alarm text: byte 0 even = typed text, odd = stored list.
    write("fuzz_alarm_text", "typed_mixed", b"\x00ON05,H1220,OFF05")
    write("fuzz_alarm_text", "typed_run_together", b"\x00ON05OFF05R60 H6099")
    write("fuzz_alarm_text", "typed_nine_off", b"\x00" + b",".join([b"OFF%02d" % i for i in range(9)]))
    write("fuzz_alarm_text", "stored_list", [1, 0x45, 0x8C, 0x20, 0x05, 0xFF])
    write("fuzz_alarm_text", "stored_h_last", [1, 0x40, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x8A])

    # Form: setup bytes, record, operations (see fuzz_config_form.cpp).
    ops = [7, 2, 0, 1, 0, 2, 5, 2, 9, 2, 1, 2, 1, 0, 3, 2, 0, 5, 6, 1, 1, 7, 0, 4, 5, b"11111"[0]]
    write("fuzz_config_form", "read_then_save", [0xBF, 0x01] + rec + [7])
    write("fuzz_config_form", "edit_and_save", [0xBF, 0x01] + rec + ops + [7])
    write("fuzz_config_form", "one_alarm_no_relays", [0x04, 0x00] + rec + [0, 0, 6] + list(b"ON05") + [7, 8, 7])
    write("fuzz_config_form", "reopen", [0x9F, 0x00] + rec + [10, 0x43, 0x01, 8, 7])

    # File: the bytes read.
    write("fuzz_config_file", "valid", config_file(rec))
    write("fuzz_config_file", "valid_unread", config_file([0xFF] * 108))
    write("fuzz_config_file", "no_sum", config_file(rec)[:131])
    write("fuzz_config_file", "longer", config_file(rec) + [0, 1, 2])

    # Setup block and info: five block bytes, then an option mask.
    write("fuzz_setup_info", "full_device", block + [0x5F, 0xA9])
    write("fuzz_setup_info", "small_device", setup_block(0x01, 0x00, 4, 1) + [0xA1, 0x54])

    # Workers: the good exchange, and one that runs into silence.
    write("fuzz_identify_worker", "good", [0] + frame_event([0xF0]) + frame_event(block))
    write("fuzz_identify_worker", "rejections", [0] + frame_event([0xF0]) + frame_event(block[:4]) * 3 +
          frame_event(block, late=True))
    write("fuzz_identify_worker", "silent", [0] + silences(20))

    read = [0] + frame_event([0xF0])
    copy = rec + [sum(rec) & 0xFF, 0xFF - (sum(rec) & 0xFF), 0, 0]
    for n in range(13):
        read += frame_event([n, 0] + copy[8 * n:8 * n + 8])
    read += frame_event([0xFF, 0xFF] + copy[104:112]) + silences(1)
    write("fuzz_read_worker", "good", read)
    write("fuzz_read_worker", "out_of_order", [0] + frame_event([0xF0]) + frame_event([2, 0] + [1] * 8) +
          frame_event([0, 0] + [2] * 8, late=True) + frame_event([0xFF, 0xFF] + [3] * 8) + silences(1))

    program = [0] + frame_event([0xF0])
    for _ in range(7):
        program += frame_event([0xF0]) + frame_event([0x60])
    write("fuzz_program_worker", "good", program)
    write("fuzz_program_worker", "block_request", [0] + frame_event([0xF0]) + frame_event([0x63, 0x00, 0x03, 0x00]) +
          frame_event([0xF0]) + frame_event([0x61]) + frame_event([0xF0]) + frame_event([0xF1]))

    write("fuzz_setup_write_worker", "good", [0] + frame_event([0xF0]) + frame_event([0xF0]) + frame_event([0x60]))
    write("fuzz_setup_write_worker", "refused", [0] + frame_event([0xF0]) + silences(3) + frame_event([0xF0]) +
          frame_event([0xF1]))
    fleet_seeds(rec)


def text_bytes(text):
    """A text for the sheet target's input: its length, then its bytes."""
    data = text.encode("cp1252")
    return [len(data)] + list(data)


def audit_line(rec, row, label, setup):
    """One line as zavctl's log writes it (docs/JSON.md)."""
    line = {"schema": 1, "time": "2026-12-08T09:15:02+01:00", "zavctl": "2.30", "command": "program",
            "port": "/dev/ttyUSB0", "adapter": None, "operator": "mueller",
            "device": {"number": 1, "version": "2.30", "setup": bytes(setup).hex().upper(), "tone_set": "675+x"},
            "plan": {"row": row, "label": label, "inventory_number": "0471", "remark": None,
                     "values": {"adressen.nummern.1": "21401"}},
            "file": "vorlage.toml", "record": bytes(rec).hex().upper(),
            "sha256": hashlib.sha256(bytes(rec)).hexdigest(), "backup": None, "outcome": "programmed",
            "exit_code": 0, "message": "Verifikation OK !", "differences": [], "retries": 0, "duration_s": 12.5}
    return json.dumps(line, ensure_ascii=False, separators=(",", ":")).encode()


def fleet_seeds(rec):
    """The fleet's readers: the examples and the recorded traces as they
    are, and the written logs, tables and sheets of the targets' own input
    layouts (see each target's source)."""
    for path in sorted(glob.glob(os.path.join(ROOT, "examples", "*.toml")) +
                       glob.glob(os.path.join(ROOT, "examples", "*.zcf"))):
        with open(path, "rb") as f:
            write("fuzz_config_text", os.path.basename(path), f.read())
    # Bytes no field shows, several to an entry: a 5-tone number beyond the count.
    with open(os.path.join(ROOT, "examples", "plan-vorlage.toml"), "rb") as f:
        write("fuzz_config_text", "raw_bytes_runs", f.read() + b'\n[rohdaten]\n16 = "31 32 33 34 35"\n')

    with open(os.path.join(ROOT, "examples", "plan-fahrzeuge.csv"), "rb") as f:
        plan = f.read()
    write("fuzz_plan", "plan-fahrzeuge.csv", plan)
    write("fuzz_plan", "plan_utf8_bom_comma", b"\xef\xbb\xbf" + plan.replace(b";", b",").decode("cp1252").encode())
    # A written table: style, header, devices with their cells, line ends.
    write("fuzz_plan", "written_quoted_cp1252", [0, 0x0C, 1, 3, 0, 1, 6, 3] + [4, 0, 13, 8, 20] * 12 + [1] * 16)
    write("fuzz_plan", "written_minimal_crlf", [0, 0x21, 0, 2, 2, 9, 2] + [6, 14, 10, 11, 12, 7, 1] * 6 + [1] * 8)

    block = setup_block(0x63, 0x01)
    write("fuzz_audit_log", "one_line", audit_line(rec, 2, "LF 20", block) + b"\n")
    write("fuzz_audit_log", "cut_last_line", audit_line(rec, 2, "LF 20", block) + b"\n" +
          audit_line(rec, 3, "HLF 20", block)[:90])
    # Written logs: the type given, then operations (op, row, type, variant, ...).
    write("fuzz_audit_log", "written_series", [0, 1,
                                               0, 0, 0, 0,
                                               0, 1, 0, 1,
                                               3, 2, 0, 0, 60,
                                               0, 2, 0, 0x80,
                                               1, 3, 0, 2,
                                               2, 3, 0, 0,
                                               7, 3, 1, 0,
                                               6, 0, 0, 1])
    write("fuzz_audit_log", "tampered_lines", [0, 0] + sum(([5, how % 4, 0, 0, how] for how in range(9)), []))
    write("fuzz_audit_log", "rubbish_and_cut_at_end", [0, 2, 4, 0, 0, 0, 5] + list(b"[1,2") + [0, 1, 1, 0] +
          [3, 1, 1, 2, 200])

    for path in sorted(glob.glob(os.path.join(ROOT, "tests", "cli", "fixtures", "*", "spur.txt"))):
        with open(path, "rb") as f:
            write("fuzz_trace_replay", os.path.basename(os.path.dirname(path)), f.read())
    write("fuzz_trace_replay", "two_ports", b"zavctl-trace 1\n# zavctl 2.30\n"
          b"      0 COM3 open | 2400 8N1\n      0 ttyUSB0 pc>dev FF 2B FE\n      0 COM3 pc>dev FF 2B FE\n"
          b"     13 ttyUSB0 dev>pc FF F0 FE | ACK\n     14 COM3 noise 00 12\n     20 COM3 dev>pc FF F0 FE\n"
          b"     42 ttyUSB0 dev>pc FF 7F 01 11 02 1E FE\n     44 ttyUSB0 pc>dev FF F0 FE\n"
          b"     50 ttyUSB0 close\n     51 ttyUSB0 dev>pc FF 60 FE\n")
    # Found by the target: a request of no bytes was waited for in vain.
    write("fuzz_trace_replay", "regression_request_without_bytes", b"zavctl-trace 1\n"
          b"      0 ttyZAV pc>dev FF 2B FE\n     10 ttyZAV dev>pc FF F0 FE\n     20 ttyZAV pc>dev\n"
          b"     30 ttyZAV dev>pc FF 60 FE\n     40 ttyZAV pc>dev FF F0 FE\n")

    # Sheets: devices, each its texts, numbers, setup block and record.
    def device(flags, outcome, label):
        return ([0] + text_bytes("2.30") + [1] + text_bytes("/dev/ttyUSB0") + text_bytes("m<ller") + [flags, 2, 3] +
                (block if flags & 4 else []) + (rec if flags & 8 else []) + (text_bytes(label) if flags & 16 else []) +
                text_bytes("=1+2") + text_bytes("Akku") + [1] + text_bytes("totzeit") + text_bytes("-5") +
                text_bytes("wache.zcf") + text_bytes("ab" * 8) + [outcome] + text_bytes("OK !") + [1] +
                text_bytes("Totzeit") + (text_bytes("30") if flags & 32 else []) +
                (text_bytes("<b>") if flags & 64 else []))
    write("fuzz_handover_sheet", "handed_over_and_checked", [1] + device(0x1F, 0, "LF 20") + text_bytes("a.jsonl") +
          device(0x7F, 3, "HLF <20>") + text_bytes("a.jsonl"))
    write("fuzz_handover_sheet", "failed", [0] + device(0x03, 5, "") + text_bytes("b.jsonl"))


if __name__ == "__main__":
    main()
