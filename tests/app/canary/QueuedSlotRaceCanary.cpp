// Canary of the ThreadSanitizer pass: a slot reached by a queued call from a worker thread writes
// a value that the worker writes too, after its emit, with no lock or hand-over between the two.
// That is a true data race, and the sanitizer must report it under the application tests'
// suppressions; CTest expects the report. A suppression that matched the stacks of queued slots
// would silence it.
#include <atomic>
#include <thread>

#include <QCoreApplication>
#include <QThread>

#include "utilities/SanitizerHandOver.h"

namespace {

using Korvane::Utilities::SanitizerHandOver;

int raced = 0;  // written by the slot and by the worker, unguarded on purpose
// Set by the slot once it has written. Relaxed on purpose: it orders nothing. The worker waits
// for it, so that nothing the worker does on its way out can order its write before the slot's.
std::atomic<bool> delivered{false};

class Receiver : public QObject {
    Q_OBJECT

public slots:
    void slotValue(int xValue) {
        raced = xValue;
        delivered.store(true, std::memory_order_relaxed);
        QCoreApplication::quit();
    }
};

class Worker : public QThread {
    Q_OBJECT

public:
    Q_SIGNAL void Value(int xValue);

protected:
    void run() override {
        // Emitted as the application's workers emit: what comes before is handed over to the
        // slot, what comes after is not.
        SanitizerHandOver::emitQueued([this] { emit Value(1); });
        raced = 2;
        while (!delivered.load(std::memory_order_relaxed)) std::this_thread::yield();
    }
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    SanitizerHandOver::watchDeliveries();
    Receiver receiver;
    Worker worker;
    QObject::connect(&worker, SIGNAL(Value(int)), &receiver, SLOT(slotValue(int)));
    worker.start();
    QCoreApplication::exec();
    worker.wait();
    // A variable that is never read may lose its writes to the optimiser.
    return raced > 0 ? 0 : 1;
}

#include "QueuedSlotRaceCanary.moc"
