#pragma once
// Stand-in scenes that several window and tool tests place a target in.
#include "sim/scene.h"

// One return at the given range and speed over light noise, with a DC offset to take out.
inline vorn::sim::Scene OneTarget(double rangeM, double velocityMps, double amplitude = 600.0,
                                  double noiseRms = 2.0) {
    vorn::sim::Scene scene;
    scene.targets = {{rangeM, velocityMps, amplitude}};
    scene.noiseRms = noiseRms;
    scene.dcOffset = {30.0, -20.0};
    return scene;
}
