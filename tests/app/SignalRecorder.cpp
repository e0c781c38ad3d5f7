#include "SignalRecorder.h"

void SignalRecorder::watch(QObject* notifier) {
    connect(notifier, SIGNAL(OrbiZo3Arrival(QString)), this, SLOT(slotArrival(QString)),
            Qt::DirectConnection);
    connect(notifier, SIGNAL(OrbiZo3Departure(QString)), this, SLOT(slotDeparture(QString)),
            Qt::DirectConnection);
}

bool SignalRecorder::waitFor(std::size_t count, std::chrono::seconds deadline) {
    std::unique_lock<std::mutex> guard(mutex);
    return changed.wait_for(guard, deadline, [&] { return signals_.size() >= count; });
}

std::vector<SignalRecorder::Signal> SignalRecorder::snapshot() {
    std::lock_guard<std::mutex> guard(mutex);
    return signals_;
}

void SignalRecorder::slotArrival(const QString& xPath) {
    record(Kind::Arrival, xPath);
}

void SignalRecorder::slotDeparture(const QString& xPath) {
    record(Kind::Departure, xPath);
}

void SignalRecorder::record(Kind kind, const QString& path) {
    std::lock_guard<std::mutex> guard(mutex);
    signals_.push_back({kind, path, std::this_thread::get_id()});
    changed.notify_all();
}
