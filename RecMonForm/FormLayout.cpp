#include "FormLayout.h"

#include <QLabel>
#include <QPalette>
#include <QString>

#include "FormFont.h"
#include "QtColor.h"
#include "Widgets.h"

namespace recmon {

namespace {

using K = TControlKind;

QWidget* MakeWidget(const TControlDef& def, QWidget& parent) {
  switch (def.Kind) {
    case K::Image:
      return new TGlyphImage(*def.Glyph, &parent);
    case K::Shape:
      return new TShapeRect(ToQColor(*def.Fill), &parent);
    case K::Panel:
      return new TPanel(&parent);
    case K::Label:
      break;
  }
  const QString text = QString::fromUtf8(def.Text.data(), std::ssize(def.Text));
  auto* label = def.Link ? new TLinkLabel(text, &parent) : new QLabel(text, &parent);
  label->setTextFormat(Qt::PlainText);
  label->setAlignment((def.Centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
  // The link takes the desktop's highlight colour (DesktopColors).
  if (def.TextColor) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, ToQColor(*def.TextColor));
    label->setPalette(palette);
  }
  return label;
}

}  // namespace

const TControlDef* RowCaption(const TControlDef& label) {
  if (label.Kind != K::Label || label.Bold) {
    return nullptr;
  }
  for (const TControlDef& def : FormControls) {
    if (def.Kind == K::Label && def.Bold && def.Top == label.Top && def.InPanel == label.InPanel) {
      return &def;
    }
  }
  return nullptr;
}

TControlWidgets BuildControls(QWidget& form) {
  TControlWidgets widgets{};
  for (const TControlDef& def : FormControls) {
    QWidget& parent = def.InPanel ? *widgets[ControlIndex(TControl::pnlAdvanced)] : form;
    QWidget* w = MakeWidget(def, parent);
    w->setObjectName(
        QString::fromLatin1(ControlName(def.Id).data(), std::ssize(ControlName(def.Id))));
    if (def.TakesSizeOfText()) {
      // Sized to its text once it has its font (TFormSurface::MeasureTexts);
      // a size of its own now keeps Qt from measuring it when it is shown.
      w->setGeometry(def.Left, def.Top, 0, 0);
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

void ApplyFonts(QWidget& form, const TControlWidgets& controls) {
  form.setFont(FormFont());
  for (const TControlDef& def : FormControls) {
    auto* label = qobject_cast<QLabel*>(controls[ControlIndex(def.Id)]);
    if (label == nullptr) {
      continue;
    }
    if (RowCaption(def) != nullptr) {
      // A bold face with a taller ascent sets its baseline lower; the regular
      // text beside it follows, so each row reads on one line.
      label->setContentsMargins(0, BoldBaselineDrop(), 0, 0);
    }
    // Regular labels take the window's font from their parent.
    if (def.Bold || def.Link) {
      QFont font = def.Bold ? FormBoldFont() : FormFont();
      font.setUnderline(def.Link);
      label->setFont(font);
    }
  }
}

}  // namespace recmon
