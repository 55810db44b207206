// The libusb back end itself runs against the unchanged libusb in the usb-kernel tests; as root
// there, umockdev cannot refuse an open, so the mapping that names a locked radar is held here.
#include "device/libusb_backend.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

using vorn::UsbStatus;

TEST(LibusbErrorMapping, CodesMapAndHaveNames) {
    const std::pair<int, UsbStatus> cases[] = {
        {0, UsbStatus::Ok},
        {LIBUSB_ERROR_ACCESS, UsbStatus::Access},
        {LIBUSB_ERROR_BUSY, UsbStatus::Busy},
        {LIBUSB_ERROR_NO_DEVICE, UsbStatus::NoDevice},
        {LIBUSB_ERROR_NO_MEM, UsbStatus::Other},
    };
    for (const auto& [code, status] : cases) EXPECT_EQ(vorn::MapLibusbError(code), status) << code;
    EXPECT_STREQ(vorn::UsbStatusName(UsbStatus::Access),
                 "access denied (insufficient permissions)");
}

}  // namespace
