#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into corpus/<target>/.

Each seed is a small, hand-chosen input that reaches one path of its target
(see the head of each fuzz_*.cpp for the input's layout). Run it again after
changing a layout; the files are committed. Other files in a corpus folder
(inputs a fuzzer found, committed under a name of their own) are left alone.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
KIND_INDEX = {34: 0, 38: 1, 52: 2, 41: 3, 25: 4, 67: 5}
APPEND_SELECTOR = {34: 0, 38: 1, 52: 2, 41: 3, 25: 4, 67: 5, 0: 6, 99: 7}


def archive(slots, body=b"", word0=1, word1=0):
    header = struct.pack("<ii", word0, word1)
    for i in range(10):
        header += struct.pack("<iii", *(slots.get(i, (0, 0, 0))))
    return header + body


def zscp(kind, status=0, length=0, kind_type=b"A", version=1, magic=b"ZSCP"):
    return magic + bytes([version]) + kind_type + bytes([kind, status]) + struct.pack(">Q", length)


def seeds():
    formats = bytes(range(256)) + b"E2E2" + bytes(40)
    texts = b"texty " * 7
    spec_example = archive({0: (34, 128, 427), 1: (38, 428, 467)}, bytes(300) + bytes([0x74]) * 40)
    yield "archive", {
        "append_to_header_only": bytes([APPEND_SELECTOR[34], 5]) + b"hello" + archive({}),
        "append_after_two_members": bytes([APPEND_SELECTOR[25], 16]) + b"PLU data 0123456" + spec_example,
        "append_kind_already_stored": bytes([APPEND_SELECTOR[38] | 0x20, 3]) + b"abc" + spec_example,
        "append_empty_member": bytes([APPEND_SELECTOR[67], 0]) + archive({0: (34, 128, 127)}),
        "append_unknown_id": bytes([APPEND_SELECTOR[99], 2]) + b"xy" + archive({}),
        "create_missing_archive": bytes([APPEND_SELECTOR[41] | 0x10, 4]) + b"keys",
        "create_missing_unknown_id": bytes([APPEND_SELECTOR[0] | 0x10, 1]) + b"z",
        "extract_onto_itself": bytes([APPEND_SELECTOR[52] | 0x40, 4]) + b"shop"
        + archive({0: (34, 128, 128 + len(formats) - 1)}, formats),
        "short_header": bytes([0, 1]) + b"q" + archive({})[:100],
        "member_past_end": bytes([1, 1]) + b"q" + archive({0: (34, 128, 400)}, bytes(50)),
        "member_ends_at_last_byte": bytes([1, 1]) + b"q" + archive({0: (34, 128, 177)}, bytes(50)),
        "member_one_byte_past_end": bytes([1, 1]) + b"q" + archive({0: (34, 128, 178)}, bytes(50)),
        "member_before_header": bytes([2, 1]) + b"q" + archive({4: (25, 100, 140)}, bytes(50)),
        "member_ends_before_start": bytes([3, 1]) + b"q" + archive({2: (41, 150, 140)}, bytes(50)),
        "id_in_unused_slot": bytes([4, 2]) + b"qq" + archive({7: (34, 128, 135), 0: (38, 136, 140)}, bytes(13)),
        "overlapping_members": bytes([5 | 0x20, 2]) + b"qq" + archive({0: (34, 128, 140), 1: (38, 130, 150)}, texts),
        "id_twice": bytes([APPEND_SELECTOR[38], 2]) + b"qq" + archive({0: (34, 128, 131), 1: (34, 132, 135)}, bytes(8)),
    }

    ini = (b"; settings\r\n[OTHER]\r\nIP_ADDRESS=9.9.9.9\r\n\r\n[SOUBOR_ZALOHY]\r\nTEXTY=1\r\n"
           b"IP_ADDRESS=192.168.5.2\r\n; user's note\r\n\r\n[LAST]\r\nKEY=value")
    yield "settings", {
        "replace_address": bytes([0 | (0 << 2), 9]) + b"127.0.0.3" + ini,
        "new_key_in_section": bytes([0 | (3 << 2), 3]) + b"new" + ini,
        "new_section": bytes([2 | (1 << 2) | 0x20, 1]) + b"0" + ini,
        "missing_file": bytes([0x40, 11]) + b"192.168.5.8",
        "lf_lines_no_final_break": bytes([1 | (2 << 2), 1]) + b"1" + b"[soubor_zalohy]\nformaty=0x10\ntexty=$A\npresety=ano",
        "names_from_file": bytes([0x80 | 0x30, 6]) + b" 'q' \n" + b"[A]\nk1=1\n[B]\n k2 = \"two\" \n[A]\nk3=3\n",
        "blank_lines_at_section_end": bytes([0 | (1 << 2), 2]) + b"-7" + b"[SOUBOR_ZALOHY]\r\nTEXTY=0\r\n\r\n\r\n[X]\r\n",
        "odd_lines": bytes([3 | (2 << 2), 4]) + b"a=b=" + b"noequals\n[unclosed\n=empty key\n;x=1\n[S]\r\r\nk=\r\n",
        "bom_and_cr_lines": bytes([0 | (1 << 2), 1]) + b"0" + b"\xef\xbb\xbf[SOUBOR_ZALOHY]\rIP_ADDRESS=127.0.0.2\r[SOUBOR_ZALOHY\rTEXTY=1",
    }

    yield "scalelist", {
        "two_scales": b"192.168.5.2\n192.168.5.3\n",
        "notes_and_tabs": b"192.168.5.2\n  \t192.168.5.3\tpokladna 2\n192.168.5.4 sklad\n",
        "blank_line_ends": b"192.168.5.2\n\n192.168.5.3\n",
        "crlf_and_ctrl_z": b"127.0.0.2\r\n127.0.0.3\r\n\x1a127.0.0.4\r\n",
        "long_lines": b"1" * 38 + b"\n" + b"2" * 41 + b"\n" + b"127.0.0.2 " + b"n" * 60 + b"\n127.0.0.3",
        "short_entry_exactly_five": b"1234\n123\n",
        "blank_entry_and_bad_addresses": b"      \n../etc/x\n" + b"9" * 38 + b"\nA\x01B\n",
        "lone_cr": b"127.0.0.2\r127.0.0.3\r\r\n",
        "empty": b"",
    }

    yield "trim", {
        "abce2": b"\x00ABCE2", "abcx2": b"\x00ABCX2", "abcex": b"\x00ABCEX", "abc2e": b"\x00ABC2E",
        "only_marker": b"\x00E2", "two_bytes": b"\x00AB", "single_e": b"\x00E", "single_2": b"\x002",
        "empty": b"\x00", "empty_with_link": b"\x01",
        "link_planted_as_temp": b"\x01data with markers E2 insideE2",
        "older_temp": b"\x02binary\x00\xff\x00E2",
    }

    def record_input(selector, limit, fields=(b"2026-12-08T02:00:13", b"backup-list", b"127.0.0.2", b"ok", b"a.zal"),
                     library_status=None, file=b""):
        out = bytes([selector, limit])
        for field in fields:
            out += bytes([len(field)]) + field
        out += b"\x00" if library_status is None else b"\x01" + struct.pack(">i", library_status)
        return out + file

    def line(address, status=b"ok", library=b"0"):
        return (b'{"time":"2026-12-08T02:00:13","command":"backup-list","address":"' + address
                + b'","status":"' + status + b'","library_status":' + library + b',"archive":""}\n')

    three = line(b"127.0.0.2") + line(b"127.0.0.3", b"failed", b"6") + line(b"127.0.0.4", b"skipped", b"null")
    yield "record", {
        "three_lines": record_input(0, 255, file=three),
        "cut_last_line_then_append": record_input(1, 255, library_status=-1, file=three[:-20]),
        "window_starts_inside_a_line": record_input(0, 40, file=three),
        "window_starts_at_a_line": record_input(0, (len(three) - len(line(b"127.0.0.2"))) // 4, file=three),
        "append_past_the_limit": record_input(1, 60, file=three * 2),
        "append_to_missing_file": record_input(3, 255, library_status=14),
        "escapes_and_odd_values": record_input(0, 255, file=(
            b'{"time":"t\\u00e9\\ud83d\\ude00","command":"c\\/\\"","address":"a\\n","status":"ok","x":[1]}\n'
            b'{"time":"t","command":"c","address":"a","status":"ok","library_status":"0"}\n'
            b'{"time":"t","command":"c","address":"a","status":"ok","library_status":99999999999}\n'
            b'{"time":"t","command":"c","address":"a","status":"ok","library_status":-7,"archive":""} \r\n'
            b'{"time":"t","command":"c","address":"a","status":"ok","archive":"\\udc00"}\n'
            b'{"time":"t","command":"c","address":"a"}\n'
            b'{}\n\n not json\n')),
        "record_with_control_bytes": record_input(
            1, 255, (b"\x00\x1f\x7f", b'"\\', b"\xff\xfe", b"\r\n\t", b"\xc3\xa9"), 0x7fffffff),
    }

    def sel(kind, upload=False, extra=0):
        return bytes([KIND_INDEX[kind] | (8 if upload else 0) | extra])

    yield "scalelib", {
        "download_ok": sel(34) + zscp(34, 0, 5) + b"hello",
        "download_empty": sel(38) + zscp(38, 0, 0),
        "download_with_extra_bytes": sel(52) + zscp(52, 0, 3) + b"abcdef",
        "download_cut_short": sel(41) + zscp(41, 0, 100) + b"only a few",
        "no_such_file": sel(25) + zscp(25, 1),
        "refused": sel(67) + zscp(67, 3),
        "version_refused": sel(34) + zscp(34, 5),
        "other_version": sel(34) + zscp(34, 0, 0, version=2),
        "wrong_kind": sel(34) + zscp(38, 0, 1) + b"x",
        "wrong_type": sel(34) + zscp(34, 0, 0, kind_type=b"D"),
        "not_our_protocol": sel(34) + b"HTTP/1.0 400 Bad Request\r\nContent-Length: 0\r\n\r\n",
        "too_large": sel(25) + zscp(25, 0, 0x7FFFFFFE),
        "half_header": sel(34) + zscp(34)[:7],
        "nothing": sel(34),
        "upload_ok": sel(25, True) + zscp(25),
        "upload_refused": sel(25, True) + zscp(25, 4),
        "link_planted_as_part": sel(34, False, 0x10) + zscp(34, 0, 4) + b"data",
        "leftover_part": sel(38, False, 0x20) + zscp(38, 1),
    }

    def request(kind, kind_type=b"D", length=0, version=1, magic=b"ZSCP"):
        return magic + bytes([version]) + kind_type + bytes([kind, 0]) + struct.pack(">Q", length)

    yield "emulator", {
        "download": b"\x00" + request(34),
        "download_missing_file": b"\x01" + request(34),
        "download_refused": b"\x80" + request(34),
        "upload": b"\x00" + request(25, b"U", 6) + b"new PLU",
        "upload_empty": b"\x10" + request(67, b"U", 0),
        "upload_larger": b"\x00" + request(41, b"U", 150) + bytes(range(150)),
        "upload_cut_short": b"\x00" + request(38, b"U", 100) + b"short",
        "upload_refused": b"\x80" + request(34, b"U", 2) + b"no",
        "upload_too_large": b"\x00" + request(52, b"U", 0x7FFFFFFE),
        "other_version": b"\x00" + request(34, version=9),
        "answer_as_request": b"\x00" + request(34, b"A"),
        "unknown_type": b"\x00" + request(34, b"X"),
        "unknown_kind": b"\x00" + request(99),
        "not_our_protocol": b"\x00GET / HTTP/1.0\r\n\r\n",
        "half_request": b"\x00" + request(34)[:9],
        "malformed_answers": b"\x40" + request(41),
    }


def main():
    for target, files in seeds():
        folder = os.path.join(HERE, "corpus", target)
        os.makedirs(folder, exist_ok=True)
        for name, data in files.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)
        print(f"{target}: {len(files)} seeds, {sum(len(d) for d in files.values())} bytes")


if __name__ == "__main__":
    main()
