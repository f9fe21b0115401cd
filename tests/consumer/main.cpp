// Uses the installed headers and libraries the way an outside plug-in does.
#include <FileIoInterface/ColorRGB.h>
#include <FileIoInterface/InputOutputPoint.h>
#include <FileIoInterface/Las/LasPoint.h>
#include <FileIoInterface/Version.h>
#include <Utils/CoreAssert.h>

#include <iostream>

int main() {
    int reports = 0;
    Orvid::CoreAssert::setAssertHandler(
        [&reports](const std::string&, const char*, std::uint64_t) { ++reports; });
    CORE_ASSERT(reports > 0);

    Orvid::FileIoInterface::Las::LasPoint point;
    point.setX(12.5);
    const std::unique_ptr<Orvid::FileIoInterface::InputOutputPoint> copy = point.clone();

    const Orvid::FileIoInterface::ColorRGB colour(1, 2, 3);
    const bool ok = reports == 1 && colour.isEquivalentTo(Orvid::FileIoInterface::ColorRGB::DEFAULT, 3) &&
                    Orvid::FileIoInterface::InputOutputPoint::epsilon() > 0.0 && copy->getX() == 12.5;
    std::cout << "FileIoInterface " << FILEIOINTERFACE_VERSION_STRING
              << (ok ? ": consumer OK" : ": consumer FAILED") << '\n';
    return ok ? 0 : 1;
}
