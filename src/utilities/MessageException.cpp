#include "utilities/MessageException.h"

#include "utilities/KorvaneException.h"

MessageException::MessageException(const QString& title, const QString& text)
    : title(title), text(text) {}

MessageException::MessageException(const QString& title, const QString& text,
                                   const Korvane::Utilities::KorvaneException& cause)
    : title(title),
      text(text),
      // One multi-argument arg(): a "%1" inside the cause's text must stay text.
      detail(QString("%1 (0x%2)")
                 .arg(QString::fromLocal8Bit(cause.what()),
                      QString::number(static_cast<std::uint32_t>(cause.code), 16))),
      code(cause.code) {
    where = QString::fromLocal8Bit(cause.where.c_str());
    if (!where.isEmpty()) detail += ", " + where;
}
