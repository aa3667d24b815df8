"""Reads the pixels of a 24/32-bit TrueColor XWD screenshot (what `xwd -root` writes)."""

import struct

_FIELDS = ("header_size file_version pixmap_format pixmap_depth width height xoffset byte_order bitmap_unit "
           "bitmap_bit_order bitmap_pad bits_per_pixel bytes_per_line visual_class red_mask green_mask blue_mask "
           "bits_per_rgb colormap_entries ncolors window_width window_height window_x window_y "
           "window_bdrwidth").split()


class Screenshot:
    def __init__(self, path):
        with open(path, "rb") as f:
            data = f.read()
        if len(data) < 100:
            raise ValueError("%s: too short for an XWD header" % path)
        header = dict(zip(_FIELDS, struct.unpack(">25I", data[:100])))
        if header["bits_per_pixel"] != 32 or header["pixmap_format"] != 2:
            raise ValueError("%s: only 32-bit ZPixmap screenshots are read" % path)
        self.width, self.height = header["width"], header["height"]
        self._stride = header["bytes_per_line"]
        self._start = header["header_size"] + 12 * header["ncolors"]
        if len(data) < self._start + self._stride * self.height:
            raise ValueError("%s: pixel data cut short" % path)
        self._order = "<I" if header["byte_order"] == 0 else ">I"
        self._masks = (header["red_mask"], header["green_mask"], header["blue_mask"])
        self._data = data

    def rgb(self, x, y):
        if not (0 <= x < self.width and 0 <= y < self.height):
            raise IndexError((x, y))
        (value,) = struct.unpack_from(self._order, self._data, self._start + y * self._stride + 4 * x)
        return tuple((value & m) >> ((m & -m).bit_length() - 1) for m in self._masks)
