#include "MessageBoxAnswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QTest>

MessageBoxAnswerer::MessageBoxAnswerer(std::deque<QMessageBox::StandardButton> answers)
    : answers(std::move(answers)) {
    connect(&timer, &QTimer::timeout, this, &MessageBoxAnswerer::poll);
    timer.start(10);
}

bool MessageBoxAnswerer::waitForBoxes(std::size_t count, int timeoutMs) {
    return QTest::qWaitFor([&] { return seen.size() >= count; }, timeoutMs);
}

void MessageBoxAnswerer::poll() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (!box || !box->isVisible()) continue;

        Box shown;
        shown.title = box->windowTitle();
        shown.text = box->text();
        shown.informativeText = box->informativeText();
        shown.buttons = box->standardButtons();
        if (box->defaultButton()) shown.defaultButton = box->standardButton(box->defaultButton());
        shown.icon = box->iconPixmap();
        shown.minimumWidth = box->layout() ? box->layout()->minimumSize().width() : 0;
        shown.windowModal = box->windowModality() == Qt::WindowModal;
        shown.literal = true;
        for (const char* name : {"qt_msgbox_label", "qt_msgbox_informativelabel"}) {
            const auto* label = box->findChild<QLabel*>(QString::fromLatin1(name));
            if (label) shown.literal = shown.literal && label->textFormat() == Qt::PlainText;
        }
        seen.push_back(shown);

        QMessageBox::StandardButton answer = QMessageBox::Ok;
        if (!answers.empty()) {
            answer = answers.front();
            answers.pop_front();
        }
        QAbstractButton* button = box->button(answer);
        if (!button && !box->buttons().isEmpty()) button = box->buttons().front();
        if (button) button->click();
        return;  // one box per poll: the click ends its event loop
    }
}
