// The cube model's calls into parts of the application that the model does
// not own: the speed slider of the control panel and the camera.
//
// The application fills g_CubeModelHooks once at start-up, before the first
// device is created:
//
//   g_CubeModelHooks.pfnSetSpeedSlider = [](int32_t nValue) {
//       g_HUD.GetSlider(10)->SetValue(nValue);  // raises no event
//   };
//   g_CubeModelHooks.pfnCameraFrameMove = [](float fElapsedTime) {
//       g_Camera.FrameMove(fElapsedTime);
//   };
//
// A hook left null does nothing, which is how the model runs in tests and
// tools without a window, a panel or a camera.
#pragma once

#include <cstdint>

struct CubeModelHooks {
    // Sets the speed slider (control 10 of the head-up display dialog) to
    // nValue without raising a GUI event. ResetGameState calls it with 50,
    // the slider value of the default turn speed.
    void (*pfnSetSpeedSlider)(int32_t nValue);
    // Advances the camera by the frame's elapsed time (seconds). OnFrameMove
    // calls it first, before anything of the cube moves.
    void (*pfnCameraFrameMove)(float fElapsedTime);
};

extern CubeModelHooks g_CubeModelHooks;
