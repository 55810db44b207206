#pragma once
// The stand-in radar: the FX2 as it enumerates before firmware, its loader, the downloaded
// program, and behind EP2/EP6 the radar logic with its scene. Single-threaded, like the host.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "device/usb_backend.h"
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

    // Faults apply from the next request on.
    Faults& faults() { return faults_; }
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

    // Unplugging kills every open link; replugging brings the device back powered up afresh.
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
    UsbTransferResult Bulk(std::uint8_t endpoint, std::uint8_t* data, int length,
                           unsigned timeoutMs);
    UsbStatus ResetPort();
    UsbStatus SetAltSetting(std::uint8_t interfaceNumber, std::uint8_t altSetting);

private:
    UsbTransferResult StandardRequest(std::uint8_t requestType, std::uint8_t request,
                                      std::uint16_t value, std::uint16_t index, std::uint8_t* data,
                                      std::uint16_t length);
    UsbTransferResult VendorRequest(std::uint8_t requestType, std::uint16_t value,
                                    std::uint8_t* data, std::uint16_t length);
    UsbTransferResult WriteParameters(const std::uint8_t* data, int length, unsigned timeoutMs);
    UsbTransferResult Nak(unsigned timeoutMs);
    bool EndpointPresent(std::uint8_t address) const;
    void PowerUp();

    Scene scene_;
    Pacing pacing_;
    Faults faults_;
    Fx2Controller fx2_;
    SampleStream stream_;
    RadarParameters params_;
    bool plugged_ = true;
    std::uint64_t generation_ = 0;
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
