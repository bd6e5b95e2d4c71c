#!/usr/bin/python3
"""Draws a DXF drawing as ezdxf's drawing add-on does (with matplotlib), for the
documentation's pictures: the layers in their colours on a white ground.
    draw-drawing.py <drawing.dxf> <picture.png> [width in pixels]"""
import sys

import ezdxf
import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
from ezdxf.addons.drawing import Frontend, RenderContext  # noqa: E402
from ezdxf.addons.drawing.matplotlib import MatplotlibBackend  # noqa: E402


def main():
    doc = ezdxf.readfile(sys.argv[1])
    pixels = int(sys.argv[3]) if len(sys.argv) > 3 else 450
    # As wide as asked, as high as the drawing's extents make it.
    low, high = doc.header["$EXTMIN"], doc.header["$EXTMAX"]
    height = pixels * (high[1] - low[1]) / max(high[0] - low[0], 1e-9)
    figure = plt.figure(figsize=(pixels / 100, height / 100), dpi=100)
    axes = figure.add_axes([0, 0, 1, 1])
    axes.set_axis_off()
    context = RenderContext(doc)
    context.set_current_layout(doc.modelspace())
    Frontend(context, MatplotlibBackend(axes)).draw_layout(doc.modelspace(), finalize=True)
    axes.set_facecolor("white")
    figure.patch.set_facecolor("white")
    figure.savefig(sys.argv[2], dpi=100, facecolor="white")
    return 0


if __name__ == "__main__":
    sys.exit(main())
