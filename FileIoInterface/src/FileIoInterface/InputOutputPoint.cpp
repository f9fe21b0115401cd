#include <FileIoInterface/InputOutputPoint.h>

namespace Orvid::FileIoInterface {

InputOutputPoint::InputOutputPoint(const std::vector<Attribute::Value>& initialValues)
    : values(initialValues) {}

InputOutputPoint::InputOutputPoint(const InputOutputPoint& other) = default;

InputOutputPoint& InputOutputPoint::operator=(const InputOutputPoint& other) = default;

InputOutputPoint::~InputOutputPoint() = default;

double InputOutputPoint::epsilon() {
    // 100 x 2^-52, exactly representable.
    return 100.0 * 0x1p-52;
}

} // namespace Orvid::FileIoInterface
