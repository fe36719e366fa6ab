// Cursors: the standard shapes, the current cursor and its show count.
#include <QCursor>
#include <QWidget>

#include "platform/win/WinInternal.h"

namespace win {

namespace {

struct CursorObject {
  UINT_PTR Id;
  Qt::CursorShape Shape;
};

CursorObject* CursorFor(UINT_PTR id) {
  static CursorObject table[] = {
      {IDC_ARROW, Qt::ArrowCursor},       {IDC_IBEAM, Qt::IBeamCursor},     {IDC_WAIT, Qt::WaitCursor},
      {IDC_CROSS, Qt::CrossCursor},       {IDC_UPARROW, Qt::UpArrowCursor}, {IDC_SIZEALL, Qt::SizeAllCursor},
      {IDC_SIZENWSE, Qt::SizeFDiagCursor}, {IDC_SIZENESW, Qt::SizeBDiagCursor}, {IDC_SIZEWE, Qt::SizeHorCursor},
      {IDC_SIZENS, Qt::SizeVerCursor},    {IDC_NO, Qt::ForbiddenCursor},    {IDC_HAND, Qt::PointingHandCursor},
      {IDC_APPSTARTING, Qt::BusyCursor},  {IDC_HELP, Qt::WhatsThisCursor},
  };
  for (auto& c : table)
    if (c.Id == id) return &c;
  return nullptr;
}

struct CursorState {
  HCURSOR Current = nullptr;
  int ShowCount = 0;
};

CursorState& Cursors() {
  static CursorState s;
  return s;
}

}  // namespace

HCURSOR LoadCursorA(HINSTANCE, UINT_PTR name) { return reinterpret_cast<HCURSOR>(CursorFor(name)); }

namespace {

Qt::CursorShape CursorShapeOf(HCURSOR c) {
  if (!c) return Qt::BlankCursor;
  return reinterpret_cast<CursorObject*>(c)->Shape;
}

}  // namespace

void ApplyCursorToWidget(QWidget* widget, HCURSOR cursor) {
  if (widget) widget->setCursor(QCursor(CursorShapeOf(cursor)));
}

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR old = Cursors().Current;
  Cursors().Current = cursor;
  return old;
}

HCURSOR GetCursor() { return Cursors().Current; }

INT ShowCursor(BOOL show) {
  Cursors().ShowCount += show ? 1 : -1;
  return Cursors().ShowCount;
}

}  // namespace win
