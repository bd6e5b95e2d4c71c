#include "viewer/app/gdi_painter.h"

namespace ned {

namespace {

// One kind of drawing object: the one made for the step, and what it replaced.
struct Held {
  HGDIOBJ made = nullptr;
  HGDIOBJ replaced = nullptr;
  bool owned = false;  // false for stock objects, which are never deleted

  void select(HDC dc, HGDIOBJ object, bool own) {
    drop(dc);
    if (object == nullptr) return;
    replaced = SelectObject(dc, object);
    made = object;
    owned = own;
  }
  void drop(HDC dc) {
    if (made == nullptr) return;
    SelectObject(dc, replaced);
    if (owned) DeleteObject(made);
    made = nullptr;
    replaced = nullptr;
  }
};

}  // namespace

void paintOperations(HDC dc, const DrawList& list) {
  Held font;
  Held pen;
  Held brush;
  for (const DrawOp& op : list) {
    switch (op.kind) {
      case DrawOpKind::TextStyle:
        SetTextColor(dc, kTextColor);
        SetBkMode(dc, TRANSPARENT);
        SetTextAlign(dc, kTextAlignCentreBaseline);
        break;
      case DrawOpKind::SelectFont:
        font.select(dc,
                    CreateFontA(op.size, 0, 0, 0, kFontWeightBold, TRUE, FALSE, FALSE, 0, 0, 0, 0,
                                0, op.text.c_str()),
                    true);
        break;
      case DrawOpKind::DeleteFont:
        font.drop(dc);
        break;
      case DrawOpKind::Text:
        TextOutA(dc, op.x, op.y, op.text.c_str(), lstrlenA(op.text.c_str()));
        break;
      case DrawOpKind::SelectPen:
        pen.select(dc, CreatePen(PS_SOLID, op.size, op.color), true);
        break;
      case DrawOpKind::DeletePen:
        pen.drop(dc);
        break;
      case DrawOpKind::SolidBrush:
        brush.select(dc, CreateSolidBrush(op.color), true);
        break;
      case DrawOpKind::HollowBrush:
        brush.select(dc, GetStockObject(NULL_BRUSH), false);
        break;
      case DrawOpKind::DeleteBrush:
        brush.drop(dc);
        break;
      case DrawOpKind::Line:
        MoveToEx(dc, op.x, op.y, nullptr);
        LineTo(dc, op.x2, op.y2);
        break;
      case DrawOpKind::Rectangle:
        Rectangle(dc, op.x, op.y, op.x2, op.y2);
        break;
    }
  }
  // Nothing made here outlives the list, whatever it left selected.
  font.drop(dc);
  pen.drop(dc);
  brush.drop(dc);
}

}  // namespace ned
