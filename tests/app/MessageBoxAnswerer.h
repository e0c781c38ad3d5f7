#pragma once

#include <deque>
#include <vector>

#include <QMessageBox>
#include <QObject>
#include <QPixmap>
#include <QString>
#include <QTimer>

// Answers the application's modal message boxes from tests: every few milliseconds (also inside
// the boxes' own event loops) it looks for a visible QMessageBox, records what it shows and
// clicks the next scripted answer, Ok once the script is used up.
class MessageBoxAnswerer : public QObject {
    Q_OBJECT

public:
    struct Box {
        QString title;
        QString text;
        QString informativeText;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
        QPixmap icon;
        int minimumWidth = 0;
        bool windowModal = false;
        // Both text labels show their text as plain text, never as markup.
        bool literal = false;
    };

    explicit MessageBoxAnswerer(std::deque<QMessageBox::StandardButton> answers = {});

    void answerWith(QMessageBox::StandardButton answer) { answers.push_back(answer); }
    const std::vector<Box>& boxes() const { return seen; }
    // true once count boxes have been answered (waits while events are processed).
    bool waitForBoxes(std::size_t count, int timeoutMs = 20000);

private slots:
    void poll();

private:
    QTimer timer;
    std::deque<QMessageBox::StandardButton> answers;
    std::vector<Box> seen;
};
