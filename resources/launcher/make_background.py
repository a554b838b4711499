#!/usr/bin/env python3
"""Writes background.svg, the launcher's 557 x 346 picture.

The button faces drawn here must stay on the launcher's click areas:
32-bit (67,180) 422x30, 64-bit (67,217) 422x30, exit (457,255) 32x24.
Run from this folder: python3 make_background.py
"""

import math

WIDTH, HEIGHT = 557, 346
FONT = "DejaVu Sans, Tahoma, Arial, sans-serif"

# The small spectrum plot in the upper right.
PLOT_LEFT, PLOT_RIGHT, PLOT_TOP, PLOT_BASE = 308, 489, 34, 146
NM_FIRST, NM_LAST = 380.0, 720.0


def wavelength_rgb(nm):
    """Approximate display colour of monochromatic light."""
    if nm < 440:
        r, g, b = (440 - nm) / 60, 0.0, 1.0
    elif nm < 490:
        r, g, b = 0.0, (nm - 440) / 50, 1.0
    elif nm < 510:
        r, g, b = 0.0, 1.0, (510 - nm) / 20
    elif nm < 580:
        r, g, b = (nm - 510) / 70, 1.0, 0.0
    elif nm < 645:
        r, g, b = 1.0, (645 - nm) / 65, 0.0
    else:
        r, g, b = 1.0, 0.0, 0.0
    # Fade towards the ends of the visible range, as the eye does.
    if nm < 420:
        fade = 0.35 + 0.65 * (nm - 380) / 40
    elif nm > 680:
        fade = 0.35 + 0.65 * (720 - nm) / 40
    else:
        fade = 1.0
    r, g, b = (max(0.0, min(1.0, c * fade)) for c in (r, g, b))
    return "#%02x%02x%02x" % tuple(round(255 * c ** 0.8) for c in (r, g, b))


def spectrum_stops(opacity=1.0):
    stops = []
    for i in range(18):
        nm = NM_FIRST + (NM_LAST - NM_FIRST) * i / 17
        stops.append(
            f'<stop offset="{i / 17:.3f}" stop-color="{wavelength_rgb(nm)}" stop-opacity="{opacity}"/>'
        )
    return "\n    ".join(stops)


def x_of(nm):
    return PLOT_LEFT + (nm - NM_FIRST) / (NM_LAST - NM_FIRST) * (PLOT_RIGHT - PLOT_LEFT)


def white_led(nm):
    """Blue pump line and broad phosphor band of a white LED."""
    blue = math.exp(-0.5 * ((nm - 452) / 10.5) ** 2)
    phosphor = 0.56 * math.exp(-0.5 * ((nm - 565) / 52) ** 2)
    return blue + phosphor


def spectrum_path():
    height = PLOT_BASE - PLOT_TOP
    points = []
    for step in range(0, 171):
        nm = NM_FIRST + (NM_LAST - NM_FIRST) * step / 170
        points.append((x_of(nm), PLOT_BASE - 0.92 * height * white_led(nm)))
    outline = " L".join(f"{x:.1f},{y:.1f}" for x, y in points)
    area = f"M{PLOT_LEFT},{PLOT_BASE} L{outline} L{PLOT_RIGHT},{PLOT_BASE} Z"
    return area, "M" + outline


def grid():
    lines = []
    for nm in range(400, 701, 50):
        x = x_of(nm)
        lines.append(f'<line x1="{x:.1f}" y1="{PLOT_TOP}" x2="{x:.1f}" y2="{PLOT_BASE}"/>')
    for i in range(1, 5):
        y = PLOT_BASE - i * (PLOT_BASE - PLOT_TOP) / 4
        lines.append(f'<line x1="{PLOT_LEFT}" y1="{y:.1f}" x2="{PLOT_RIGHT}" y2="{y:.1f}"/>')
    return "\n    ".join(lines)


def axis_labels():
    labels = []
    for nm in (400, 500, 600, 700):
        labels.append(
            f'<text x="{x_of(nm):.1f}" y="{PLOT_BASE + 11}" text-anchor="middle">{nm}</text>'
        )
    labels.append(f'<text x="{PLOT_RIGHT}" y="{PLOT_TOP - 6}" text-anchor="end">nm</text>')
    return "\n    ".join(labels)


def emission_lines():
    # Mercury lines, the usual calibration marks.
    lines = []
    for nm in (404.7, 435.8, 546.1, 577.0, 579.1):
        x = x_of(nm)
        lines.append(
            f'<line x1="{x:.1f}" y1="{PLOT_TOP + 6}" x2="{x:.1f}" y2="{PLOT_BASE}" '
            f'stroke="{wavelength_rgb(nm)}" stroke-width="1" stroke-opacity="0.45"/>'
        )
    return "\n  ".join(lines)


def dispersed_rays():
    # White light enters the prism and leaves fanned out by wavelength.
    rays = []
    exit_x, exit_y = 100, 51
    for i, nm in enumerate(range(420, 701, 40)):
        angle = math.radians(32 - i * 4.0)
        end_x = exit_x + 34 * math.cos(angle)
        end_y = exit_y + 34 * math.sin(angle)
        rays.append(
            f'<line x1="{exit_x}" y1="{exit_y}" x2="{end_x:.1f}" y2="{end_y:.1f}" '
            f'stroke="{wavelength_rgb(nm)}" stroke-width="2.2" stroke-linecap="round"/>'
        )
    return "\n  ".join(rays)


def button(x, y, width, height, label):
    return f"""<g>
    <rect x="{x}" y="{y}" width="{width}" height="{height}" rx="4" fill="url(#buttonFace)" stroke="#6fa8dc" stroke-width="1"/>
    <rect x="{x + 1}" y="{y + 1}" width="{width - 2}" height="{height / 2 - 1}" rx="3" fill="#ffffff" fill-opacity="0.08"/>
    <path d="M{x + 14},{y + 9} L{x + 14},{y + 21} M{x + 9},{y + 16} L{x + 14},{y + 21} L{x + 19},{y + 16}" stroke="#dbe9f7" stroke-width="1.8" fill="none" stroke-linecap="round" stroke-linejoin="round"/>
    <text x="{x + width / 2}" y="{y + 19.5}" text-anchor="middle" font-size="13" font-weight="bold" fill="#ffffff">{label}</text>
    <path d="M{x + width - 18},{y + 10} L{x + width - 13},{y + 15} L{x + width - 18},{y + 20}" stroke="#dbe9f7" stroke-width="1.8" fill="none" stroke-linecap="round" stroke-linejoin="round"/>
  </g>"""


def exit_button(x, y, width, height):
    cx, cy = x + width / 2, y + height / 2
    return f"""<g>
    <rect x="{x}" y="{y}" width="{width}" height="{height}" rx="4" fill="url(#exitFace)" stroke="#7f93ab" stroke-width="1"/>
    <path d="M{cx - 5},{cy - 5} L{cx + 5},{cy + 5} M{cx + 5},{cy - 5} L{cx - 5},{cy + 5}" stroke="#f0f4f8" stroke-width="2" stroke-linecap="round"/>
  </g>"""


def svg():
    area, outline = spectrum_path()
    return f"""<?xml version="1.0" encoding="UTF-8"?>
<!-- Generated by make_background.py; edit that script, not this file. -->
<svg xmlns="http://www.w3.org/2000/svg" version="1.2" baseProfile="tiny"
     width="{WIDTH}" height="{HEIGHT}" viewBox="0 0 {WIDTH} {HEIGHT}">
  <defs>
    <linearGradient id="backdrop" x1="0" y1="0" x2="1" y2="1">
      <stop offset="0" stop-color="#0c1a2c"/>
      <stop offset="0.6" stop-color="#12253b"/>
      <stop offset="1" stop-color="#1a3350"/>
    </linearGradient>
    <linearGradient id="spectrumFill" x1="{PLOT_LEFT}" y1="0" x2="{PLOT_RIGHT}" y2="0" gradientUnits="userSpaceOnUse">
    {spectrum_stops(0.85)}
    </linearGradient>
    <linearGradient id="rainbowRule" x1="67" y1="0" x2="489" y2="0" gradientUnits="userSpaceOnUse">
    {spectrum_stops()}
    </linearGradient>
    <linearGradient id="rainbowFoot" x1="0" y1="0" x2="{WIDTH}" y2="0" gradientUnits="userSpaceOnUse">
    {spectrum_stops()}
    </linearGradient>
    <linearGradient id="buttonFace" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#2f7bc4"/>
      <stop offset="1" stop-color="#1b4f86"/>
    </linearGradient>
    <linearGradient id="exitFace" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#4a5d74"/>
      <stop offset="1" stop-color="#2c3b4e"/>
    </linearGradient>
    <linearGradient id="prismGlass" x1="0" y1="0" x2="1" y2="1">
      <stop offset="0" stop-color="#e8f2ff" stop-opacity="0.55"/>
      <stop offset="1" stop-color="#8fb8e8" stop-opacity="0.25"/>
    </linearGradient>
    <linearGradient id="glow" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#3d7ab8" stop-opacity="0.25"/>
      <stop offset="1" stop-color="#3d7ab8" stop-opacity="0"/>
    </linearGradient>
  </defs>

  <rect width="{WIDTH}" height="{HEIGHT}" fill="url(#backdrop)"/>
  <rect width="{WIDTH}" height="110" fill="url(#glow)"/>

  <!-- Spectrum plot -->
  <rect x="{PLOT_LEFT}" y="{PLOT_TOP}" width="{PLOT_RIGHT - PLOT_LEFT}" height="{PLOT_BASE - PLOT_TOP}" fill="#07111d" fill-opacity="0.45" stroke="#ffffff" stroke-opacity="0.12"/>
  <g stroke="#ffffff" stroke-opacity="0.07" stroke-width="1">
    {grid()}
  </g>
  {emission_lines()}
  <path d="{area}" fill="url(#spectrumFill)"/>
  <path d="{outline}" fill="none" stroke="#ffffff" stroke-opacity="0.9" stroke-width="1.2"/>
  <g font-family="{FONT}" font-size="8" fill="#7f96b2">
    {axis_labels()}
  </g>

  <!-- Prism mark -->
  <line x1="40" y1="60" x2="74" y2="50" stroke="#ffffff" stroke-width="2.2" stroke-linecap="round"/>
  <line x1="74" y1="50" x2="100" y2="51" stroke="#ffffff" stroke-opacity="0.6" stroke-width="1.6"/>
  {dispersed_rays()}
  <path d="M87,24 L108,64 L66,64 Z" fill="url(#prismGlass)" stroke="#e8f2ff" stroke-width="1.4" stroke-linejoin="round"/>
  <text x="150" y="49" font-family="{FONT}" font-size="9" fill="#8fa9c6">QX SERIES</text>
  <text x="150" y="61" font-family="{FONT}" font-size="9" fill="#8fa9c6">USB ARRAY SPECTROMETERS</text>

  <!-- Product name and tagline -->
  <text x="64" y="120" font-family="{FONT}" font-size="46" font-weight="bold" fill="#ffffff">Quillon</text>
  <text x="67" y="145" font-family="{FONT}" font-size="13" fill="#a9c1dc">Spectrometer operating software</text>

  <rect x="67" y="163" width="422" height="2" fill="url(#rainbowRule)"/>

  <!-- Button faces; the launcher's click areas lie exactly on these -->
  <g font-family="{FONT}">
  {button(67, 180, 422, 30, "Install Quillon (32-bit)")}
  {button(67, 217, 422, 30, "Install Quillon (64-bit)")}
  </g>
  {exit_button(457, 255, 32, 24)}

  <text x="67" y="271" font-family="{FONT}" font-size="10" fill="#8ea3bb">Choose the edition that matches your Windows system.</text>

  <line x1="0" y1="300.5" x2="{WIDTH}" y2="300.5" stroke="#ffffff" stroke-opacity="0.08"/>
  <text x="67" y="324" font-family="{FONT}" font-size="9" fill="#6f87a3">Quillon Installer</text>
  <text x="489" y="324" font-family="{FONT}" font-size="9" fill="#6f87a3" text-anchor="end">Operating software for QX spectrometers</text>
  <rect x="0" y="{HEIGHT - 4}" width="{WIDTH}" height="4" fill="url(#rainbowFoot)"/>
</svg>
"""


if __name__ == "__main__":
    with open("background.svg", "w", encoding="utf-8") as out:
        out.write(svg())
