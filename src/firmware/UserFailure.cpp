#include "firmware/UserFailure.h"

#include "utilities/KorvaneException.h"
#include "utilities/MessageException.h"

using Korvane::Utilities::KorvaneException;

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Firmware {

UserFailure UserFailure::fromCurrentException() {
    return from(std::current_exception());
}

UserFailure UserFailure::from(const std::exception_ptr& failure) {
    UserFailure user;
    try {
        if (failure) std::rethrow_exception(failure);
    } catch (const MessageException& message) {
        user.source = Source::Message;
        user.caption = message.title;
        user.text = message.text;
        user.detail = message.detail;
        user.code = message.code;
        user.where = message.where;
    } catch (const KorvaneException& device) {
        user.source = Source::Device;
        user.reason = QString::fromLocal8Bit(device.what());
        user.detail = QString::fromLocal8Bit(device.describe().c_str());
        user.code = device.code;
        user.where = QString::fromLocal8Bit(device.where.c_str());
        user.coded = MessageException(QString(), QString(), device).detail;
    } catch (const std::exception& other) {
        user.source = Source::Standard;
        user.reason = QString::fromLocal8Bit(other.what());
        user.detail = user.reason;
    } catch (...) {
    }
    return user;
}

QString UserFailure::captionOr(const QString& fallback) const {
    return caption.isEmpty() ? fallback : caption;
}

QString UserFailure::codedDetail() const {
    return source == Source::Device ? coded : detail;
}

}  // namespace Firmware
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
