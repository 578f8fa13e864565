#!/usr/bin/env python3
"""Writes data/charsets.json, the built-in charset tables compiled into qrx_core.

The nine code tables are kept here as hexadecimal code points, one line per table, in
the order of LETTERS; a "+" joins the characters of one value. The other five tables
follow from each letter's code point or its canonical decomposition.

Usage: tools/gen_charsets.py [output path]   (default: data/charsets.json next to tools/)
"""

import json
import pathlib
import sys
import unicodedata

# The 134 precomposed Vietnamese letters, in code point order.
LETTERS = (
    "ÀÁÂÃÈÉÊÌÍÒÓÔÕÙÚÝàáâãèéêìíòóôõùúýĂăĐđĨĩŨũƠơƯưẠạẢảẤấẦầẨẩẪẫẬậẮắẰằẲẳẴẵẶặ"
    "ẸẹẺẻẼẽẾếỀềỂểỄễỆệỈỉỊịỌọỎỏỐốỒồỔổỖỗỘộỚớỜờỞởỠỡỢợỤụỦủỨứỪừỬửỮữỰựỲỳỴỵỶỷỸỹ"
)

# A code point up to FF stands for that byte; the few above FF are what Windows-1252 shows
# for bytes 80-9F (the bytes it leaves undefined keep their own code point).
CODE_TABLES = """
tcvn3 B5 B8 A2 B7 CC D0 A3 D7 DD DF E3 A4 E2 EF F3 FD B5 B8 A9 B7 CC D0 AA D7 DD DF E3 AB E2 EF F3 FD A1 A8 A7 AE DC DC F2 F2 A5 AC A6 AD B9 B9 B6 B6 CA CA C7 C7 C8 C8 C9 C9 CB CB BE BE BB BB BC BC BD BD C6 C6 D1 D1 CE CE CF CF D5 D5 D2 D2 D3 D3 D4 D4 D6 D6 D8 D8 DE DE E4 E4 E1 E1 E8 E8 E5 E5 E6 E6 E7 E7 E9 E9 ED ED EA EA EB EB EC EC EE EE F4 F4 F1 F1 F8 F8 F5 F5 F6 F6 F7 F7 F9 F9 FA FA FE FE FB FB FC FC
vni_windows 41+D8 41+D9 41+C2 41+D5 45+D8 45+D9 45+C2 CC CD 4F+D8 4F+D9 4F+C2 4F+D5 55+D8 55+D9 59+D9 61+F8 61+F9 61+E2 61+F5 65+F8 65+F9 65+E2 EC ED 6F+F8 6F+F9 6F+E2 6F+F5 75+F8 75+F9 79+F9 41+CA 61+EA D1 F1 D3 F3 55+D5 75+F5 D4 F4 D6 F6 41+CF 61+EF 41+DB 61+FB 41+C1 61+E1 41+C0 61+E0 41+C5 61+E5 41+C3 61+E3 41+C4 61+E4 41+C9 61+E9 41+C8 61+E8 41+DA 61+FA 41+DC 61+FC 41+CB 61+EB 45+CF 65+EF 45+DB 65+FB 45+D5 65+F5 45+C1 65+E1 45+C0 65+E0 45+C5 65+E5 45+C3 65+E3 45+C4 65+E4 C6 E6 D2 F2 4F+CF 6F+EF 4F+DB 6F+FB 4F+C1 6F+E1 4F+C0 6F+E0 4F+C5 6F+E5 4F+C3 6F+E3 4F+C4 6F+E4 D4+D9 F4+F9 D4+D8 F4+F8 D4+DB F4+FB D4+D5 F4+F5 D4+CF F4+EF 55+CF 75+EF 55+DB 75+FB D6+D9 F6+F9 D6+D8 F6+F8 D6+DB F6+FB D6+D5 F6+F5 D6+CF F6+EF 59+D8 79+F8 CE EE 59+DB 79+FB 59+D5 79+F5
cp1258 41+CC 41+EC C2 41+DE 45+CC 45+EC CA 49+CC 49+EC 4F+CC 4F+EC D4 4F+DE 55+CC 55+EC 59+EC 61+CC 61+EC E2 61+DE 65+CC 65+EC EA 69+CC 69+EC 6F+CC 6F+EC F4 6F+DE 75+CC 75+EC 79+EC C3 E3 D0 F0 49+DE 69+DE 55+DE 75+DE D5 F5 DD FD 41+F2 61+F2 41+D2 61+D2 C2+EC E2+EC C2+CC E2+CC C2+D2 E2+D2 C2+DE E2+DE C2+F2 E2+F2 C3+EC E3+EC C3+CC E3+CC C3+D2 E3+D2 C3+DE E3+DE C3+F2 E3+F2 45+F2 65+F2 45+D2 65+D2 45+DE 65+DE CA+EC EA+EC CA+CC EA+CC CA+D2 EA+D2 CA+DE EA+DE CA+F2 EA+F2 49+D2 69+D2 49+F2 69+F2 4F+F2 6F+F2 4F+D2 6F+D2 D4+EC F4+EC D4+CC F4+CC D4+D2 F4+D2 D4+DE F4+DE D4+F2 F4+F2 D5+EC F5+EC D5+CC F5+CC D5+D2 F5+D2 D5+DE F5+DE D5+F2 F5+F2 55+F2 75+F2 55+D2 75+D2 DD+EC FD+EC DD+CC FD+CC DD+D2 FD+D2 DD+DE FD+DE DD+F2 FD+F2 59+CC 79+CC 59+F2 79+F2 59+D2 79+D2 59+DE 79+DE
viscii C0 C1 C2 C3 C8 C9 CA CC CD D2 D3 D4 F5 D9 DA DD E0 E1 E2 E3 E8 E9 EA EC ED F2 F3 F4 F5 F9 FA FD C5 E5 D0 F0 CE EE 9D FB B4 BD BF DF 20AC D5 C4 E4 201E A4 2026 A5 2020 A6 E7 E7 2021 A7 81 A1 201A A2 C6 C6 C7 C7 0192 A3 2030 A9 CB EB 02C6 A8 0160 AA 2039 AB 0152 AC 8D AD 017D AE 203A EF 02DC B8 0161 F7 2122 F6 8F AF 90 B0 2018 B1 2019 B2 201C B5 2022 BE 2013 B6 2014 B7 B3 DE 201D FE 017E F8 0153 FC BA D1 BB D7 BC D8 FF E6 B9 F1 0178 CF DC DC D6 D6 DB DB
vps 20AC C1 C2 201A D7 C9 CA B5 B4 BC B9 D4 BE A8 DA DD E0 E1 E2 E3 E8 E9 EA EC ED F2 F3 F4 F5 F9 FA 0161 02C6 E6 F1 C7 B8 EF AC DB F7 D6 D0 DC E5 E5 81 E4 0192 C3 201E C0 2026 C4 C5 C5 C6 C6 8D A1 017D A2 8F A3 F0 A4 A5 A5 CB CB DE C8 FE EB 90 2030 201C 0160 201D 2039 2022 CD 0152 0152 B7 CC CE CE 2020 2020 BD D5 2013 D3 2014 D2 02DC B0 2122 2021 B6 B6 9D A7 017E A9 0178 AA A6 AB AE AE F8 F8 D1 FB AD D9 AF D8 B1 BA BB BB BF BF B2 FF 0153 0153 FD 203A B3 CF
bkhcm1 81 20AC 0178 0192 2020 2026 A5 2039 0160 90 8F AB 2019 2022 201D 7B BF BE DD C1 C4 C3 E3 C9 C8 CE CD E9 D0 D3 D2 FB 2122 D7 7D BD 8D CB 2014 D5 B1 EF B7 F5 201E C2 201A C0 7E DE A1 DF A2 E0 A3 E1 A4 E2 0161 D8 203A D9 0153 DA 9D DB 02DC DC 2030 C7 2021 C5 02C6 C6 A6 E4 A7 E5 A8 E6 A9 E7 AA E8 0152 CA 017D CC 201C D1 2018 CF AC EA AD EB AE EC AF ED B0 EE B2 F0 B3 F1 B4 F2 B5 F3 B6 F4 02DC D6 2013 D4 B8 F6 B9 F7 BA F8 BB F9 BC FA 5E FC 017D FF 60 FD 7C FE
bkhcm2 41+C2 41+C1 CA 41+C4 45+C2 45+C1 CF D2 D1 4F+C2 4F+C1 D6 4F+C4 55+C2 55+C1 59+C1 61+E2 61+E1 EA 61+E4 65+E2 65+E1 EF F2 F1 6F+E2 6F+E1 F6 6F+E4 75+E2 75+E1 79+E1 D9 F9 C0 E0 D4 F4 55+C4 75+E4 DA FA DB FB 41+C5 61+E5 41+C3 61+E3 CA+CB EA+EB CA+CC EA+EC CA+CD EA+ED CA+CE EA+EE CA+C5 EA+E5 D9+C6 F9+E6 D9+C7 F9+E7 D9+C8 F9+E8 D9+C9 F9+E9 D9+C5 F9+E5 45+C5 65+E5 45+C3 65+E3 45+C4 65+E4 CF+CB EF+EB CF+CC EF+EC CF+CD EF+ED CF+CE EF+EE CF+E5 EF+E5 D3 F3 D5 F5 4F+C5 6F+E5 4F+C3 6F+E3 D6+CB F6+EB D6+CC F6+EC D6+CD F6+ED D6+CE F6+EE D6+C5 F6+E5 DA+C1 FA+E1 DA+C2 FA+E2 DA+C3 FA+E3 DA+C4 FA+E4 DA+C5 FA+E5 55+C5 75+E5 55+C3 75+E3 DB+C1 FB+E1 DB+C2 FB+E2 DB+C3 FB+E3 DB+C4 FB+E4 DB+C5 FB+E5 59+C2 79+E2 59+C5 79+E5 59+C3 79+E3 59+C4 79+E4
vietware_x 41+CC 41+CF C1 41+CE 45+CC 45+CF C3 C7 CA 4F+CC 4F+CF C4 4F+CE 55+CC 55+CF 59+CF 61+EC 61+EF E1 61+EE 65+EC 65+EF E3 E7 EA 6F+EC 6F+EF E4 6F+EE 75+EC 75+EF 79+EF C0 E0 C2 E2 C9 E9 55+CE 75+EE C5 E5 C6 E6 41+DB 61+FB 41+CD 61+ED C1+DA E1+FA C1+D6 E1+F6 C1+D8 E1+F8 C1+D9 E1+F9 C1+DB E1+FB C0+D5 E0+F5 C0+D2 E0+F2 C0+D3 E0+F3 C0+D4 E0+F4 C0+DB E0+FB 45+DB 65+FB 45+CD 65+ED 45+CE 65+EE C3+DA E3+FA C3+D6 E3+F6 C3+D8 E3+F8 C3+D9 E3+F9 C3+DB E3+FB C8 E8 CB EB 4F+DC 6F+FC 4F+CD 6F+ED C4+DA E4+FA C4+D6 E4+F6 C4+D8 E4+F8 C4+D9 E4+F9 C4+DC E4+FC C5+CF E5+EF C5+CC E5+EC C5+CD E5+ED C5+CE E5+EE C5+DC E5+FC 55+DB 75+FB 55+CD 75+ED C6+CF E6+EF C6+CC E6+EC C6+CD E6+ED C6+CE E6+EE C6+DB E6+FB 59+CC 79+EC 59+D1 79+F1 59+CD 79+ED 59+CE 79+EE
vietware_full AA C0 2014 BA CC CF 2122 D8 DB DF E2 0161 E1 EE F2 FC AA C0 A1 BA CC CF A3 D8 DB DF E2 A4 E1 EE F2 FC 2013 0178 02DC A2 DA DA F1 F1 203A A5 0153 A7 C1 C1 B6 B6 CA CA C7 C7 C8 C8 C9 C9 CB CB C5 C5 C2 C2 C3 C3 C4 C4 C6 C6 D1 D1 CD CD CE CE D5 D5 D2 D2 D3 D3 D4 D4 D6 D6 D9 D9 DC DC E3 E3 E0 E0 E7 E7 E4 E4 E5 E5 E6 E6 E8 E8 EC EC E9 E9 EA EA EB EB ED ED F3 F3 EF EF F7 F7 F4 F4 F5 F5 F6 F6 F8 F8 F9 F9 FF FF FA FA FB FB
"""

# Display names, and the order of the members of "charsets".
NAMES = [
    ("tcvn3", "TCVN3 (ABC)"),
    ("vni_windows", "VNI Windows"),
    ("cp1258", "Windows 1258 codepage"),
    ("viqr", "VIQR"),
    ("viscii", "VISCII"),
    ("vps", "VPS"),
    ("bkhcm1", "BKHCM 1"),
    ("bkhcm2", "BKHCM 2"),
    ("vietware_x", "Vietware X"),
    ("vietware_full", "Vietware Full"),
    ("ncr_decimal", "NCR Decimal"),
    ("ncr_hex", "NCR Hex"),
    ("cstring_hex", "Unicode C string Hex"),
    ("cstring_decimal", "Unicode C string Decimal"),
]

VIQR_MARKS = {"\u0302": "^", "\u0306": "(", "\u031B": "+"}
VIQR_TONES = {"\u0301": "'", "\u0300": "`", "\u0309": "?", "\u0303": "~", "\u0323": "."}


def viqr(letter):
    if letter in "Đđ":
        return "DD" if letter == "Đ" else "dd"
    base, *marks = unicodedata.normalize("NFD", letter)
    # Canonical order may put the dot below before the circumflex; VIQR wants mark, then tone.
    mark = "".join(VIQR_MARKS[m] for m in marks if m in VIQR_MARKS)
    tone = "".join(VIQR_TONES[m] for m in marks if m in VIQR_TONES)
    if len(marks) != len(mark) + len(tone):
        raise ValueError(f"no VIQR form for {letter!r}")
    return base + mark + tone


def rule_maps():
    cps = [(letter, ord(letter)) for letter in LETTERS]
    return {
        "viqr": {letter: viqr(letter) for letter, _ in cps},
        "ncr_decimal": {letter: f"&#{cp};" for letter, cp in cps},
        "ncr_hex": {letter: f"&#x{cp:X};" for letter, cp in cps if cp > 0xFF},
        "cstring_hex": {letter: f"\\x{cp:X}" for letter, cp in cps},
        "cstring_decimal": {letter: f"\\u{cp}" for letter, cp in cps},
    }


def code_maps():
    maps = {}
    for line in CODE_TABLES.strip().splitlines():
        name, *values = line.split()
        if len(values) != len(LETTERS):
            raise ValueError(f"{name}: {len(values)} values for {len(LETTERS)} letters")
        maps[name] = {
            letter: "".join(chr(int(part, 16)) for part in value.split("+"))
            for letter, value in zip(LETTERS, values)
        }
    return maps


def build():
    if len(LETTERS) != 134 or list(LETTERS) != sorted(LETTERS):
        raise ValueError("the letter list must hold 134 letters in code point order")
    maps = {**code_maps(), **rule_maps()}
    return {
        "_meta": {
            "source": "tools/gen_charsets.py",
            "note": "Keys are precomposed Unicode letters; a value character up to U+00FF is "
            "the byte of that value, one above U+00FF is the Windows-1252 character of a byte "
            "in 80-9F.",
        },
        "charsets": {ident: {"name": name, "map": maps[ident]} for ident, name in NAMES},
    }


def render(doc):
    # One line per charset map keeps the file small and its diffs readable.
    lines = ["{", f'  "_meta": {json.dumps(doc["_meta"], ensure_ascii=False)},', '  "charsets": {']
    entries = list(doc["charsets"].items())
    for i, (ident, entry) in enumerate(entries):
        comma = "," if i + 1 < len(entries) else ""
        body = json.dumps(entry, ensure_ascii=False, separators=(",", ":"))
        lines.append(f"    {json.dumps(ident)}: {body}{comma}")
    lines += ["  }", "}", ""]
    return "\n".join(lines)


def main():
    default = pathlib.Path(__file__).resolve().parent.parent / "data" / "charsets.json"
    out = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else default
    text = render(build())
    if json.loads(text) != build():
        raise ValueError("rendered JSON does not read back")
    out.write_text(text, encoding="utf-8")


if __name__ == "__main__":
    main()
