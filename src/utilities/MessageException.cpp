#include "utilities/MessageException.h"

#include "utilities/KorvaneException.h"

MessageException::MessageException(const QString& title, const QString& text)
    : title(title), text(text) {}

MessageException::MessageException(const QString& title, const QString& text,
                                   const Korvane::Utilities::KorvaneException& cause)
    : title(title),
      text(text),
      detail(QString("%1 (0x%2)")
                 .arg(QString::fromLocal8Bit(cause.what()))
                 .arg(QString::number(static_cast<std::uint32_t>(cause.code), 16))) {}
