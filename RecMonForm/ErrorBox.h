#pragma once

// The modal box that reports an error: error icon, caption "Error", the
// text, and one "OK" that both Enter and Esc trigger. It opens centred on
// the primary screen.

#include <QMessageBox>
#include <QString>

namespace recmon {

inline constexpr const char* ErrorBoxCaption = "Error";
inline constexpr const char* ErrorBoxButton = "OK";

class TErrorBox final : public QMessageBox {
 public:
  explicit TErrorBox(const QString& text);

 protected:
  void showEvent(QShowEvent* event) override;
};

}  // namespace recmon
