// Canary of the ThreadSanitizer pass: a slot connected directly to the device presence notifier
// runs on the notification service's thread, inside the service's callback, and writes a value
// that the main thread writes too once it has seen the arrival, with nothing ordering the two.
// That is a true data race, and the sanitizer must report it under the application tests'
// suppressions; CTest expects the report.
#include <atomic>
#include <thread>

#include <QObject>
#include <QString>

#include "app/OrbiZo3Notifier.h"
#include "platform/usbhost/UsbPortRegistration.h"
#include "platform/usbhost/simulated/SimulatedUsbBus.h"
#include "simulator/SimulatedTable.h"

namespace {

int raced = 0;  // written on the notification thread and on the main thread, unguarded
// Both relaxed on purpose: they order nothing. The slot writes only once plugging has returned on
// the main thread, and the main thread writes once the slot has, so nothing either thread does
// around the plug can order the two writes.
std::atomic<bool> plugged{false};
std::atomic<bool> arrived{false};

class Receiver : public QObject {
    Q_OBJECT

public slots:
    void slotArrival(const QString& /*xPath*/) {
        while (!plugged.load(std::memory_order_relaxed)) std::this_thread::yield();
        raced = 1;
        arrived.store(true, std::memory_order_relaxed);
    }
};

}  // namespace

// Runs on the simulated bus, registered before the notifier starts watching. A CTest time-out
// ends it should the arrival never come.
int main() {
    Korvane::Platform::UsbPortRegistration::install(Korvane::Platform::SimulatedUsbBus::instance(),
                                                    "");
    Receiver receiver;
    OrbiZo3Notifier notifier;
    QObject::connect(&notifier, SIGNAL(OrbiZo3Arrival(QString)), &receiver,
                     SLOT(slotArrival(QString)), Qt::DirectConnection);
    auto table = Korvane::Simulator::SimulatedTable::create("OZ3T000099");
    table->plug();
    plugged.store(true, std::memory_order_relaxed);
    while (!arrived.load(std::memory_order_relaxed)) std::this_thread::yield();
    raced = 2;
    table->unplug();
    // A variable that is never read may lose its writes to the optimiser.
    return raced > 0 ? 0 : 1;
}

#include "NotificationRaceCanary.moc"
