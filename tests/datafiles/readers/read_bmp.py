# Prints what Pillow reads from a BMP file, as JSON: format, mode, size and
# every pixel as [r, g, b], top row first.
#   python3 read_bmp.py FILE
import json
import sys

from PIL import Image

with Image.open(sys.argv[1]) as image:
    image.load()
    rgb = image.convert("RGB")
    print(json.dumps({
        "format": image.format,
        "mode": image.mode,
        "width": image.width,
        "height": image.height,
        "pixels": [list(rgb.getpixel((x, y)))
                   for y in range(image.height) for x in range(image.width)],
    }))
