#pragma once
// The libusb calls the back end makes, gathered in one table so that tests can put a fake
// libusb beneath it: no radar is attached where the tests run.
#include <libusb.h>

#include "device/usb_backend.h"

namespace vorn {

struct LibusbApi {
    int (*init)(libusb_context** context);
    void (*exit)(libusb_context* context);
    ssize_t (*get_device_list)(libusb_context* context, libusb_device*** list);
    void (*free_device_list)(libusb_device** list, int unrefDevices);
    int (*get_device_descriptor)(libusb_device* device, libusb_device_descriptor* descriptor);
    uint8_t (*get_bus_number)(libusb_device* device);
    int (*get_port_numbers)(libusb_device* device, uint8_t* ports, int length);
    int (*open)(libusb_device* device, libusb_device_handle** handle);
    void (*close)(libusb_device_handle* handle);
    int (*set_auto_detach_kernel_driver)(libusb_device_handle* handle, int enable);
    int (*claim_interface)(libusb_device_handle* handle, int interfaceNumber);
    int (*release_interface)(libusb_device_handle* handle, int interfaceNumber);
    int (*set_interface_alt_setting)(libusb_device_handle* handle, int interfaceNumber,
                                     int altSetting);
    int (*control_transfer)(libusb_device_handle* handle, uint8_t requestType, uint8_t request,
                            uint16_t value, uint16_t index, unsigned char* data, uint16_t length,
                            unsigned int timeoutMs);
    int (*bulk_transfer)(libusb_device_handle* handle, unsigned char endpoint, unsigned char* data,
                         int length, int* transferred, unsigned int timeoutMs);
    int (*reset_device)(libusb_device_handle* handle);
    // The asynchronous interface, behind the cancellable bulk transfers.
    libusb_transfer* (*alloc_transfer)(int isoPackets);
    void (*free_transfer)(libusb_transfer* transfer);
    int (*submit_transfer)(libusb_transfer* transfer);
    int (*cancel_transfer)(libusb_transfer* transfer);
    int (*handle_events_timeout_completed)(libusb_context* context, timeval* tv, int* completed);
};

// The table of the real library.
const LibusbApi& SystemLibusbApi();

// One libusb error code (or 0) as the seam's status.
UsbStatus MapLibusbError(int code);

// libusb's name of an error code ("LIBUSB_ERROR_TIMEOUT"); null for success.
const char* LibusbErrorName(int code);

}  // namespace vorn
