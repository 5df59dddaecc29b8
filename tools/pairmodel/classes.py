"""Character classes of the pair model; must match components/text/detect/pair_model.h (the
test pair_model_classes_test compares every JIS row and cell).

A character is classed by its JIS X 0208 row and cell (as CP932 or eucJP-ms bytes give them
without any table), so the recogniser can score Shift_JIS and EUC-JP readings by arithmetic.
"""

LF, CR, SPACE, DIGIT, UPPER, LOWER, PUNCT, CONTROL = range(8)
HALF_KANA = 8  # 63 classes, bytes A1..DF
IDEO_SPACE = 71
ROW1_SINGLES = {2: 72, 3: 73, 4: 74, 5: 75, 6: 76, 11: 77, 12: 77, 25: 78, 28: 79, 33: 80,
                42: 81, 43: 82, 54: 83, 55: 84}
ROW1_OTHER = 85
ROW2 = 86
FW_DIGIT = 87
FW_ALPHA = 88
HIRAGANA = 89  # 83 classes, row 4 cells 1..83
KATAKANA = 172  # 86 classes, row 5 cells 1..86
FOREIGN = 258
BOX = 259
NEC13 = 260
KANJI = 261
EXT_KANJI = 262
PUA = 263
OTHER = 264
COUNT = 265

KANJI_FIRST_ROW = 16
KANJI_LAST_ROW = 84
KANJI_CELLS = (KANJI_LAST_ROW - KANJI_FIRST_ROW + 1) * 94


def ascii_class(b):
    if b == 0x0A:
        return LF
    if b == 0x0D:
        return CR
    if b in (0x20, 0x09):
        return SPACE
    if 0x30 <= b <= 0x39:
        return DIGIT
    if 0x41 <= b <= 0x5A:
        return UPPER
    if 0x61 <= b <= 0x7A:
        return LOWER
    if 0x21 <= b <= 0x7E:
        return PUNCT
    return CONTROL


def jis_class(row, cell):
    """Class of JIS X 0208 row/cell (1-based)."""
    if row == 1:
        if cell == 1:
            return IDEO_SPACE
        return ROW1_SINGLES.get(cell, ROW1_OTHER)
    if row == 2:
        return ROW2
    if row == 3:
        return FW_DIGIT if 16 <= cell <= 25 else FW_ALPHA
    if row == 4:
        return HIRAGANA + cell - 1 if cell <= 83 else OTHER
    if row == 5:
        return KATAKANA + cell - 1 if cell <= 86 else OTHER
    if row in (6, 7):
        return FOREIGN
    if row == 8:
        return BOX
    if row == 13:
        return NEC13
    if KANJI_FIRST_ROW <= row <= KANJI_LAST_ROW:
        return KANJI
    return OTHER


def sjis_tokens(data):
    """(class, kanji index or -1) for each character of CP932 bytes."""
    i, n = 0, len(data)
    while i < n:
        b = data[i]
        if b < 0x80:
            yield ascii_class(b), -1
            i += 1
        elif 0xA1 <= b <= 0xDF:
            yield HALF_KANA + b - 0xA1, -1
            i += 1
        elif (0x81 <= b <= 0x9F or 0xE0 <= b <= 0xFC) and i + 1 < n and (
                0x40 <= data[i + 1] <= 0x7E or 0x80 <= data[i + 1] <= 0xFC):
            t = data[i + 1]
            i += 2
            if 0xF0 <= b <= 0xF9:
                yield PUA, -1
                continue
            if b >= 0xFA:
                yield EXT_KANJI, -1
                continue
            row = (b - (0x81 if b <= 0x9F else 0xC1)) * 2 + 1
            if t >= 0x9F:
                row += 1
                cell = t - 0x9E
            else:
                cell = t - (0x40 if t >= 0x80 else 0x3F)
            if 89 <= row <= 92:
                yield EXT_KANJI, -1
                continue
            c = jis_class(row, cell)
            yield c, ((row - KANJI_FIRST_ROW) * 94 + cell - 1) if c == KANJI else -1
        else:
            yield OTHER, -1
            i += 1


_UNICODE_SINGLES = {0x3000: (1, 1), 0x3001: (1, 2), 0x3002: (1, 3), 0xFF0C: (1, 4),
                    0xFF0E: (1, 5), 0x30FB: (1, 6), 0x309B: (1, 11), 0x309C: (1, 11),
                    0x3005: (1, 25), 0x30FC: (1, 28), 0x301C: (1, 33), 0xFF5E: (1, 33),
                    0xFF08: (1, 42), 0xFF09: (1, 43), 0x300C: (1, 54), 0x300D: (1, 55)}


def unicode_class(cp):
    """Class of a character that has no CP932 code (as the recogniser classes UTF-8)."""
    if cp < 0x80:
        return ascii_class(cp)
    if 0x3041 <= cp <= 0x3093:
        return HIRAGANA + cp - 0x3041
    if 0x30A1 <= cp <= 0x30F6:
        return KATAKANA + cp - 0x30A1
    if 0xFF61 <= cp <= 0xFF9F:
        return HALF_KANA + cp - 0xFF61
    if 0x4E00 <= cp <= 0x9FFF or 0x3400 <= cp <= 0x4DBF:
        return KANJI
    if cp in _UNICODE_SINGLES:
        return jis_class(*_UNICODE_SINGLES[cp])
    if 0xFF10 <= cp <= 0xFF19:
        return FW_DIGIT
    if 0xFF21 <= cp <= 0xFF3A or 0xFF41 <= cp <= 0xFF5A:
        return FW_ALPHA
    if 0xF900 <= cp <= 0xFAFF:
        return EXT_KANJI
    if 0xE000 <= cp <= 0xF8FF:
        return PUA
    if 0x2500 <= cp <= 0x257F:
        return BOX
    if 0x2460 <= cp <= 0x2473 or 0x2160 <= cp <= 0x2179 or 0x3300 <= cp <= 0x33FF:
        return NEC13
    if (0xC0 <= cp <= 0x24F and cp not in (0xD7, 0xF7)) or 0x370 <= cp <= 0x4FF:
        return FOREIGN
    if (0x3000 <= cp <= 0x30FF or 0xFF00 <= cp <= 0xFFEF or 0x2000 <= cp <= 0x2BFF
            or 0xA0 <= cp <= 0xBF or cp in (0xD7, 0xF7)):
        return ROW1_OTHER
    return OTHER
