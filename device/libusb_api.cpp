#include "device/libusb_api.h"

namespace vorn {

const LibusbApi& SystemLibusbApi() {
    static const LibusbApi api{
        &libusb_init,
        &libusb_exit,
        &libusb_get_device_list,
        &libusb_free_device_list,
        &libusb_get_device_descriptor,
        &libusb_get_bus_number,
        &libusb_get_port_numbers,
        &libusb_open,
        &libusb_close,
        &libusb_set_auto_detach_kernel_driver,
        &libusb_claim_interface,
        &libusb_release_interface,
        &libusb_set_interface_alt_setting,
        &libusb_control_transfer,
        &libusb_bulk_transfer,
        &libusb_reset_device,
        &libusb_alloc_transfer,
        &libusb_free_transfer,
        &libusb_submit_transfer,
        &libusb_cancel_transfer,
        &libusb_handle_events_timeout_completed,
    };
    return api;
}

UsbStatus MapLibusbError(int code) {
    if (code >= 0) return UsbStatus::Ok;
    switch (code) {
        case LIBUSB_ERROR_IO:
            return UsbStatus::Io;
        case LIBUSB_ERROR_INVALID_PARAM:
            return UsbStatus::InvalidParam;
        case LIBUSB_ERROR_ACCESS:
            return UsbStatus::Access;
        case LIBUSB_ERROR_NO_DEVICE:
            return UsbStatus::NoDevice;
        case LIBUSB_ERROR_NOT_FOUND:
            return UsbStatus::NotFound;
        case LIBUSB_ERROR_BUSY:
            return UsbStatus::Busy;
        case LIBUSB_ERROR_TIMEOUT:
            return UsbStatus::Timeout;
        case LIBUSB_ERROR_OVERFLOW:
            return UsbStatus::Overflow;
        case LIBUSB_ERROR_PIPE:
            return UsbStatus::Pipe;
        case LIBUSB_ERROR_NOT_SUPPORTED:
            return UsbStatus::NotSupported;
        default:  // interrupted, out of memory, other
            return UsbStatus::Other;
    }
}

const char* LibusbErrorName(int code) {
    // The names tell a maintainer apart what the seam's status folds together (Other).
    return code < 0 ? libusb_error_name(code) : nullptr;
}

}  // namespace vorn
