#!/usr/bin/env python3
"""Writes the button-bar icons of the main program: 32 x 32 line drawings in
two tones (ink and accent), one SVG file per command."""
from pathlib import Path

INK = "#2b3a55"
ACCENT = "#2f7fd8"
SOFT = "#cfe0f6"

HEAD = ('<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32" '
        'fill="none" stroke="{ink}" stroke-width="2" stroke-linecap="round" '
        'stroke-linejoin="round">\n')

ICONS = {
    # Sliders: the set-up of the unit.
    "setup": f'''
  <line x1="6" y1="8" x2="26" y2="8"/><line x1="6" y1="16" x2="26" y2="16"/>
  <line x1="6" y1="24" x2="26" y2="24"/>
  <circle cx="12" cy="8" r="3" fill="{SOFT}" stroke="{ACCENT}"/>
  <circle cx="21" cy="16" r="3" fill="{SOFT}" stroke="{ACCENT}"/>
  <circle cx="10" cy="24" r="3" fill="{SOFT}" stroke="{ACCENT}"/>''',
    # A flat, noisy trace under a closed shutter: the dark scan.
    "dark": f'''
  <rect x="4" y="4" width="24" height="24" rx="3" fill="{INK}" fill-opacity="0.12"/>
  <path d="M6 22 L9 21 L11 23 L14 21.5 L17 22.5 L20 21 L23 22.5 L26 21.5" stroke="{ACCENT}"/>
  <path d="M16 7 a6 6 0 1 0 6 8 a5 5 0 0 1 -6 -8z" fill="{SOFT}"/>''',
    # A broad lamp curve: the reference scan.
    "reference": f'''
  <line x1="4" y1="27" x2="28" y2="27"/><line x1="5" y1="27" x2="5" y2="5"/>
  <path d="M7 25 C11 25 12 8 18 8 C23 8 24 18 27 22" stroke="{ACCENT}" stroke-width="2.4"/>
  <path d="M7 25 C11 25 12 8 18 8 C23 8 24 18 27 22 L27 25 Z" fill="{SOFT}" stroke="none"/>''',
    # Percentage over a trace: the display mode.
    "mode": f'''
  <path d="M4 24 L10 14 L15 19 L21 8 L28 16" stroke="{ACCENT}" stroke-width="2.4"/>
  <circle cx="9" cy="6" r="2.2"/><circle cx="17" cy="12" r="0"/>
  <line x1="20" y1="28" x2="28" y2="20"/><circle cx="20.5" cy="21.5" r="1.5"/>
  <circle cx="27.5" cy="27" r="1.5"/>''',
    # A clock over a time axis: the time line.
    "timeline": f'''
  <circle cx="16" cy="14" r="9" fill="{SOFT}" stroke="{ACCENT}"/>
  <polyline points="16,9 16,14 20,16"/>
  <line x1="4" y1="28" x2="28" y2="28"/><line x1="8" y1="26" x2="8" y2="28"/>
  <line x1="16" y1="26" x2="16" y2="28"/><line x1="24" y1="26" x2="24" y2="28"/>''',
    # A peak with its marker and half-width bar.
    "peak": f'''
  <path d="M4 26 C10 26 12 6 16 6 C20 6 22 26 28 26" stroke="{INK}"/>
  <circle cx="16" cy="6" r="2.6" fill="{SOFT}" stroke="{ACCENT}"/>
  <line x1="11.5" y1="16" x2="20.5" y2="16" stroke="{ACCENT}"/>
  <line x1="11.5" y1="13.5" x2="11.5" y2="18.5" stroke="{ACCENT}"/>
  <line x1="20.5" y1="13.5" x2="20.5" y2="18.5" stroke="{ACCENT}"/>''',
    # Into the tray: load stored data.
    "import": f'''
  <path d="M5 19 L5 26 L27 26 L27 19"/>
  <line x1="16" y1="4" x2="16" y2="19" stroke="{ACCENT}" stroke-width="2.4"/>
  <polyline points="10,13 16,19 22,13" stroke="{ACCENT}" stroke-width="2.4"/>''',
    # Out of the tray: save and export.
    "export": f'''
  <path d="M5 19 L5 26 L27 26 L27 19"/>
  <line x1="16" y1="19" x2="16" y2="4" stroke="{ACCENT}" stroke-width="2.4"/>
  <polyline points="10,10 16,4 22,10" stroke="{ACCENT}" stroke-width="2.4"/>''',
    # A printer with a trace on its sheet.
    "print": f'''
  <rect x="9" y="4" width="14" height="8" fill="{SOFT}"/>
  <rect x="4" y="12" width="24" height="11" rx="2"/>
  <rect x="9" y="19" width="14" height="9" fill="#ffffff"/>
  <path d="M11 25 L14 22 L17 24 L21 21" stroke="{ACCENT}" stroke-width="1.6"/>''',
    # A thermometer and a snowflake arm: the cooler.
    "tec": f'''
  <path d="M11 5 a3 3 0 0 1 6 0 L17 18 a5.5 5.5 0 1 1 -6 0 Z" fill="{SOFT}"/>
  <circle cx="14" cy="22.5" r="2.5" fill="{ACCENT}" stroke="{ACCENT}"/>
  <line x1="14" y1="20" x2="14" y2="10" stroke="{ACCENT}"/>
  <line x1="23" y1="6" x2="23" y2="16" stroke="{ACCENT}"/>
  <line x1="19" y1="11" x2="27" y2="11" stroke="{ACCENT}"/>
  <line x1="20" y1="8" x2="26" y2="14" stroke="{ACCENT}" stroke-width="1.5"/>
  <line x1="26" y1="8" x2="20" y2="14" stroke="{ACCENT}" stroke-width="1.5"/>''',
    # A globe: the maker's home page.
    "homepage": f'''
  <circle cx="16" cy="16" r="11" fill="{SOFT}"/>
  <ellipse cx="16" cy="16" rx="4.5" ry="11" stroke="{ACCENT}"/>
  <line x1="5" y1="16" x2="27" y2="16" stroke="{ACCENT}"/>
  <path d="M7 10 L25 10 M7 22 L25 22" stroke="{ACCENT}" stroke-width="1.5"/>''',
}


def main() -> None:
    folder = Path(__file__).resolve().parent / "icons"
    folder.mkdir(exist_ok=True)
    for name, body in ICONS.items():
        text = HEAD.format(ink=INK) + body.strip("\n") + "\n</svg>\n"
        (folder / f"{name}.svg").write_text(text, encoding="utf-8")


if __name__ == "__main__":
    main()
