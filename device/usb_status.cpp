#include "device/usb_backend.h"

namespace vorn {

const char* UsbStatusName(UsbStatus status) {
    switch (status) {
        case UsbStatus::Ok:
            return "ok";
        case UsbStatus::Timeout:
            return "timeout";
        case UsbStatus::Pipe:
            return "pipe error (endpoint stalled or request not supported)";
        case UsbStatus::Overflow:
            return "overflow";
        case UsbStatus::NoDevice:
            return "no device (disconnected)";
        case UsbStatus::Io:
            return "input/output error";
        case UsbStatus::Access:
            return "access denied (insufficient permissions)";
        case UsbStatus::Busy:
            return "resource busy";
        case UsbStatus::NotFound:
            return "entity not found";
        case UsbStatus::InvalidParam:
            return "invalid parameter";
        case UsbStatus::NotSupported:
            return "operation not supported";
        case UsbStatus::Other:
            return "other error";
        case UsbStatus::Cancelled:
            return "cancelled";
    }
    return "unknown status";
}

}  // namespace vorn
