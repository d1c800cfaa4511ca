#include "FormLayout.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPalette>
#include <QString>

#include "FormFont.h"
#include "Widgets.h"

// g++ 12 warns about every member that a designated initializer leaves to
// its default, which is the point of writing the table this way.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace recmon {

namespace {

using enum TControl;
using K = TControlKind;

constexpr TColor Red = 0xFF0000;
constexpr TColor White = 0xFFFFFF;
constexpr TColor Lime = 0x00FF00;

// Rows of the detail panel: bold caption at the left, value beside it.
constexpr int RowCaptionLeft = 3;
constexpr int RowValueLeft = 116;

constexpr TControlDef Row(TControl id, int top, std::string_view text, bool caption) {
  return {.Id = id,
          .Kind = K::Label,
          .Left = caption ? RowCaptionLeft : RowValueLeft,
          .Top = top,
          .Text = text,
          .Bold = caption,
          .InPanel = true};
}

QColor ToQColor(TColor c) {
  return QColor(static_cast<int>((c >> 16) & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                static_cast<int>(c & 0xFF));
}

QWidget* MakeWidget(const TControlDef& def, QWidget& parent) {
  switch (def.Kind) {
    case K::Image:
      return new TGlyphImage(*def.Glyph, &parent);
    case K::Shape:
      return new TShapeRect(ToQColor(*def.Fill), &parent);
    case K::Panel:
      return new QWidget(&parent);
    case K::Label:
      break;
  }
  auto* label = new QLabel(QString::fromUtf8(def.Text.data(), std::ssize(def.Text)), &parent);
  label->setTextFormat(Qt::PlainText);
  label->setAlignment((def.Centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
  QFont font = FormFont();
  font.setBold(def.Bold);
  font.setUnderline(def.Link);
  label->setFont(font);
  if (def.TextColor || def.Link) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText,
                     def.Link ? QGuiApplication::palette().color(QPalette::Highlight)
                              : ToQColor(*def.TextColor));
    label->setPalette(palette);
  }
  return label;
}

}  // namespace

const std::array<TControlDef, ControlCount> FormControls{{
    {.Id = lblRecording,
     .Left = -1,
     .Top = 10,
     .Width = 165,
     .Height = 13,
     .Text = "Recording",
     .Bold = true,
     .Centred = true,
     .TextColor = Red},
    {.Id = lblFile,
     .Left = 12,
     .Top = 32,
     .Width = 16,
     .Height = 13,
     .Text = "File",
     .Link = true,
     .Tooltip = true,
     .HandCursor = true},
    {.Id = lblSizeCaption, .Left = 31, .Top = 32, .Width = 23, .Height = 13, .Text = "Size:"},
    {.Id = lblSize, .Left = 12, .Top = 50, .Text = "0 MB"},
    {.Id = lblHealthCaption, .Left = 119, .Top = 32, .Width = 31, .Height = 13, .Text = "Health"},
    {.Id = lblHealth,
     .Left = 110,
     .Top = 50,
     .Width = 47,
     .Height = 13,
     .Text = "Good",
     .Bold = true,
     .Centred = true,
     .Tooltip = true},
    {.Id = imgPinOut,
     .Kind = K::Image,
     .Left = 138,
     .Top = 9,
     .Width = 16,
     .Height = 16,
     .Glyph = TGlyph::PinOut,
     .HandCursor = true,
     .Visible = false},
    {.Id = imgPinIn,
     .Kind = K::Image,
     .Left = 138,
     .Top = 9,
     .Width = 17,
     .Height = 17,
     .Glyph = TGlyph::PinIn,
     .HandCursor = true},
    {.Id = imgHideAdvanced,
     .Kind = K::Image,
     .Left = 9,
     .Top = 9,
     .Width = 16,
     .Height = 16,
     .Glyph = TGlyph::HideAdvanced,
     .HandCursor = true,
     .Visible = false},
    {.Id = imgAdvanced,
     .Kind = K::Image,
     .Left = 9,
     .Top = 9,
     .Width = 16,
     .Height = 16,
     .Glyph = TGlyph::Advanced,
     .HandCursor = true},
    {.Id = rectMeterMeBackground,
     .Kind = K::Shape,
     .Left = 76,
     .Top = 35,
     .Width = 10,
     .Height = 15,
     .Fill = White,
     .Tooltip = true},
    {.Id = rectMeterThemBackground,
     .Kind = K::Shape,
     .Left = 76,
     .Top = 49,
     .Width = 10,
     .Height = 15,
     .Fill = White,
     .Tooltip = true},
    {.Id = rectMeterThem,
     .Kind = K::Shape,
     .Left = 88,
     .Top = 49,
     .Width = 10,
     .Height = 15,
     .Fill = Lime,
     .Tooltip = true},
    {.Id = rectMeterMe,
     .Kind = K::Shape,
     .Left = 88,
     .Top = 35,
     .Width = 10,
     .Height = 15,
     .Fill = Lime,
     .Tooltip = true},
    {.Id = pnlAdvanced,
     .Kind = K::Panel,
     .Left = 0,
     .Top = 65,
     .Width = FormClientWidth,
     .Height = PanelHeight},
    Row(lblTimeElapsedCaption, 6, "Time Elapsed:", true),
    Row(lblTimeElapsed, 6, "23:59:59", false),
    Row(lblTimeRecordedCaption, 26, "Time Recorded:", true),
    Row(lblTimeRecorded, 26, "23:59:59", false),
    Row(lblSecsDroppedCaption, 46, "Seconds dropped:", true),
    Row(lblSecsDropped, 46, "0", false),
    Row(lblSecondsDroppedCaption, 66, "Seconds behind:", true),
    Row(lblSecondsBehind, 66, "0", false),
    Row(lblBufPctFullCaption, 86, "Buffer % Full:", true),
    Row(lblPctBufFull, 86, "70%", false),
}};

TControlWidgets BuildControls(QWidget& form) {
  TControlWidgets widgets{};
  for (const TControlDef& def : FormControls) {
    QWidget& parent = def.InPanel ? *widgets[ControlIndex(pnlAdvanced)] : form;
    QWidget* w = MakeWidget(def, parent);
    w->setObjectName(
        QString::fromLatin1(ControlName(def.Id).data(), std::ssize(ControlName(def.Id))));
    if (def.Width == 0 && def.Height == 0) {
      w->move(def.Left, def.Top);
      w->adjustSize();
    } else {
      w->setGeometry(def.Left, def.Top, def.Width, def.Height);
    }
    if (def.HandCursor) {
      w->setCursor(Qt::PointingHandCursor);
    }
    w->setVisible(def.Visible);
    widgets[ControlIndex(def.Id)] = w;
  }
  return widgets;
}

}  // namespace recmon
