#!/usr/bin/env python3
"""Runs the window test, then reads the pictures it saved with tesseract: the texts must be drawn in
letters, not as the empty boxes of a face that lacks them.
Usage: read_window_pictures.py ARTEFACTS_FOLDER COMMAND [ARGUMENT...]"""
import pathlib
import struct
import subprocess
import sys
import tempfile

# The words each picture must show. The disabled OK of a run, grey on yellow, is too faint to read
# reliably; the credits are a message box, in the system's font.
EXPECTED = {
    "during-a-run.bmp": ["Please", "Wait", "Copy", "File"],
    "up-to-date.bmp": ["ข้อมูล", "ปัจจุบัน", "OK"],
    "credits.bmp": ["Brannock", "มหาวิทยาลัย"],
}
# Small text is read unevenly: a word may appear in any of these readings (languages, enlargement,
# tesseract's page segmentation: 6 a block of text, 11 text scattered over the picture).
READINGS = [("tha+eng", 1, "6"), ("tha+eng", 3, "11"), ("eng", 2, "6")]


def read(bmp, languages, scale, mode):
    """The text in the 24-bit bottom-up BMP that the window test saves, enlarged `scale` times in grey."""
    data = bmp.read_bytes()
    (offset,) = struct.unpack_from("<I", data, 10)
    width, height = struct.unpack_from("<ii", data, 18)
    stride = (width * 3 + 3) // 4 * 4
    grey = bytearray(b"P5 %d %d 255\n" % (width * scale, height * scale))
    for y in reversed(range(height)):
        row = data[offset + y * stride : offset + y * stride + width * 3]
        values = ((row[i] * 114 + row[i + 1] * 587 + row[i + 2] * 299) // 1000 for i in range(0, len(row), 3))
        grey += bytes(value for value in values for _ in range(scale)) * scale
    with tempfile.NamedTemporaryFile(suffix=".pgm") as picture:
        picture.write(grey)
        picture.flush()
        return subprocess.run(["tesseract", picture.name, "-", "-l", languages, "--psm", mode],
                              capture_output=True, text=True, check=True).stdout


def squeezed(text):
    # Thai OCR puts spaces between letters at times; Latin case is not what is checked.
    return "".join(text.split()).casefold()


def main():
    folder, command = pathlib.Path(sys.argv[1]), sys.argv[2:]
    for name in EXPECTED:  # a picture left by an earlier run proves nothing
        (folder / name).unlink(missing_ok=True)
    status = subprocess.call(command)
    if status != 0:
        return status
    unreadable = []
    for name, words in EXPECTED.items():
        if not (folder / name).exists():
            unreadable.append(name)
            print(f"read_window_pictures: {name} was not saved")
            continue
        missing, texts = words, []
        for reading in READINGS:  # the next reading only for what was missed: each takes most of a second
            texts.append(read(folder / name, *reading))
            missing = [word for word in missing if squeezed(word) not in squeezed(texts[-1])]
            if not missing:
                break
        if missing:
            unreadable.append(name)
            read_as = "".join(f"\n  {reading}: {text.strip()!r}" for reading, text in zip(READINGS, texts))
            print(f"read_window_pictures: {name} does not show {missing}; it reads{read_as}")
    print(f"read_window_pictures: {len(EXPECTED) - len(unreadable)} of {len(EXPECTED)} pictures show their words")
    return 1 if unreadable else 0


if __name__ == "__main__":
    sys.exit(main())
