#pragma once
// The stand-in radar: the FX2 as it enumerates before firmware, its loader, the downloaded
// program, and behind EP2/EP6 the radar logic with its scene. Requests may come from any thread
// (the host's acquisition worker, umockdev's handler); they are served one at a time.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "device/usb_backend.h"
#include "device/usb_transfer.h"
#include "sim/faults.h"
#include "sim/fx2_controller.h"
#include "sim/parameters.h"
#include "sim/replay.h"
#include "sim/sample_stream.h"
#include "sim/scene.h"

namespace vorn::sim {

class SimRadar {
public:
    using Faults = SimFaults;

    explicit SimRadar(Scene scene = DefaultDemoScene(), Pacing pacing = Pacing::AsFastAsPossible,
                      std::uint64_t seed = 1);

    // Faults apply from the next request on. Change them through faults() only while no request
    // is in flight; UpdateFaults() may be called at any time.
    Faults& faults() { return faults_; }
    void UpdateFaults(const std::function<void(Faults&)>& change);
    const Faults& faults() const { return faults_; }
    void SetScene(Scene scene) { scene_ = std::move(scene); }
    const Scene& scene() const { return scene_; }
    void SetPacing(Pacing pacing) { pacing_ = pacing; }

    // Streams the recording instead of the scene and powers up with its parameters. A parameter
    // block that does not match it is refused: EP2 stalls, and so does EP6 until a matching
    // block arrives, so the host cannot process the recording with the wrong parameters.
    void SetReplay(std::shared_ptr<const Replay> replay);
    const Replay* replay() const { return replay_.get(); }
    // Called with the explanation each time a block is refused.
    void SetRefusalHandler(std::function<void(const std::string&)> handler) {
        refusalHandler_ = std::move(handler);
    }
    int parameterBlocksRefused() const { return blocksRefused_; }
    const std::string& lastRefusal() const { return lastRefusal_; }

    // Unplugging kills every open link, also a transfer in flight; replugging brings the device
    // back powered up afresh.
    void Unplug();
    void Replug();
    bool plugged() const { return plugged_; }
    // Changes with every replug, so links opened before it stay dead.
    std::uint64_t generation() const { return generation_; }

    const Fx2Controller& controller() const { return fx2_; }
    const std::vector<RegisterWrite>& registerWrites() const { return fx2_.registerWrites(); }
    bool StreamingEnabled() const {
        return fx2_.ParameterEndpointReady() && fx2_.SampleEndpointReady();
    }
    std::uint8_t altSetting() const { return altSetting_; }
    // Parameters the radar runs with: those of the last valid block, or its power-up set.
    const RadarParameters& parameters() const { return params_; }
    int parameterBlocksAccepted() const { return blocksAccepted_; }
    int parameterBlocksIgnored() const { return blocksIgnored_; }
    int vendorRequestCount() const { return vendorRequests_; }
    const SampleStream& stream() const { return stream_; }

    // The device side of UsbDeviceLink.
    UsbTransferResult Control(std::uint8_t requestType, std::uint8_t request, std::uint16_t value,
                              std::uint16_t index, std::uint8_t* data, std::uint16_t length);
    // A cancel ends the transfer's waiting early, with Cancelled.
    UsbTransferResult Bulk(std::uint8_t endpoint, std::uint8_t* data, int length,
                           unsigned timeoutMs, TransferCancel* cancel = nullptr);
    UsbStatus ResetPort();
    UsbStatus SetAltSetting(std::uint8_t interfaceNumber, std::uint8_t altSetting);

private:
    UsbTransferResult StandardRequest(std::uint8_t requestType, std::uint8_t request,
                                      std::uint16_t value, std::uint16_t index, std::uint8_t* data,
                                      std::uint16_t length);
    UsbTransferResult VendorRequest(std::uint8_t requestType, std::uint16_t value,
                                    std::uint8_t* data, std::uint16_t length);
    UsbStatus SetAltSettingLocked(std::uint8_t interfaceNumber, std::uint8_t altSetting);
    UsbTransferResult BulkLocked(std::uint8_t endpoint, std::uint8_t* data, int length,
                                 unsigned timeoutMs, const DeviceWait& wait);
    UsbTransferResult WriteParameters(const std::uint8_t* data, int length, unsigned timeoutMs,
                                      const DeviceWait& wait);
    UsbTransferResult Nak(unsigned timeoutMs, const DeviceWait& wait);
    // Waits out a timeout as the device would; false when the host cancelled meanwhile.
    bool WaitOut(unsigned timeoutMs, const DeviceWait& wait) const;
    bool EndpointPresent(std::uint8_t address) const;
    void PowerUp();

    Scene scene_;
    Pacing pacing_;
    Faults faults_;
    Fx2Controller fx2_;
    SampleStream stream_;
    RadarParameters params_;
    mutable std::mutex mutex_;  // one request at a time
    std::mutex currentMutex_;
    TransferCancel* current_ = nullptr;  // the bulk transfer in flight, woken by an unplug
    std::atomic<bool> plugged_{true};
    std::atomic<std::uint64_t> generation_{0};
    std::uint8_t altSetting_ = 0;
    int blocksAccepted_ = 0;
    int blocksIgnored_ = 0;
    int vendorRequests_ = 0;
    std::shared_ptr<const Replay> replay_;
    std::function<void(const std::string&)> refusalHandler_;
    bool refusedHalt_ = false;
    int blocksRefused_ = 0;
    std::string lastRefusal_;
};

}  // namespace vorn::sim
