#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include <QObject>
#include <QString>

// Receives a notifier's signals through direct connections, from whatever thread emits them.
class SignalRecorder : public QObject {
    Q_OBJECT

public:
    enum class Kind { Arrival, Departure };
    struct Signal {
        Kind kind;
        QString path;
        std::thread::id thread;
    };

    // Connects OrbiZo3Arrival and OrbiZo3Departure of notifier by their signatures.
    void watch(QObject* notifier);

    // true once at least count signals have come; a generous deadline, not a timing check.
    bool waitFor(std::size_t count, std::chrono::seconds deadline = std::chrono::seconds(20));
    std::vector<Signal> snapshot();

public slots:
    void slotArrival(const QString& xPath);
    void slotDeparture(const QString& xPath);

private:
    void record(Kind kind, const QString& path);

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Signal> signals_;
};
