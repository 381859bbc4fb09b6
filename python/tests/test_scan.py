# velmo.scan: the same reading whichever way the picture is given (a path, its bytes, its
# pixels), and what it refuses.
import pathlib

import numpy as np
import pytest
import velmo

DATA = pathlib.Path(__file__).resolve().parents[2] / "tests" / "data" / "scan"
PHOTO = DATA / "dataset-image13.jpg"
PHOTO_PUZZLE = "9.3.....2.6.49.1.3...1...........9..3.1..4....8.7.243.1785.93........759...367..."


def test_a_photo_reads_alike_from_its_path_and_its_bytes():
    for picture in (PHOTO, str(PHOTO), PHOTO.read_bytes(), bytearray(PHOTO.read_bytes())):
        answer = velmo.scan(picture)
        assert answer["status"] == "read"
        assert answer["puzzle"] == PHOTO_PUZZLE
        assert answer["certainty"].shape == (81,) and answer["certainty"].dtype == np.float32
        assert answer["changes"] == [] and answer["quarter_turns"] == 0 and answer["message"] == ""


def drawn_grid(cell=40, margin=30, left=500):
    """A grey picture of an empty 9 x 9 grid, its box lines thicker, in the right part of a
    wide page: read with width and height mixed up, its rows would miss the grid."""
    side = 9 * cell + 2 * margin
    picture = np.full((side, left + side), 255, np.uint8)
    for k in range(10):
        at = margin + k * cell
        width = 3 if k % 3 == 0 else 1
        picture[margin:side - margin + 1, left + at:left + at + width] = 0
        picture[at:at + width, left + margin:left + side - margin + 1] = 0
    return picture


def test_pixels_grey_and_rgb_are_read():
    grey = drawn_grid()
    for pixels in (grey, np.repeat(grey[:, :, None], 3, axis=2)):
        answer = velmo.scan(pixels)
        assert answer["status"] == "several solutions"
        assert answer["puzzle"] == "." * 81


def test_what_is_not_a_picture_is_answered_or_refused():
    empty = velmo.scan(b"")
    assert (empty["status"], empty["message"], empty["puzzle"]) == ("bad picture", "empty file", None)
    blank = velmo.scan(np.full((480, 640), 255, np.uint8))
    assert (blank["status"], blank["puzzle"], blank["certainty"]) == ("no puzzle", None, None)
    with pytest.raises(ValueError):
        velmo.scan(np.zeros((100, 100), np.float32))
    with pytest.raises(ValueError):
        velmo.scan(np.zeros((100, 100, 4), np.uint8))
    with pytest.raises(TypeError):
        velmo.scan(42)
    with pytest.raises(OSError):
        velmo.scan(DATA / "no-such-file.png")
