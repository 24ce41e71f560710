#pragma once
// The message numbers and codes that windows and threads exchange. Every
// layer uses these names; tests drive windows and models by them.

#include <cstdint>

namespace qf::core {

inline constexpr uint32_t WM_USER = 0x400;

inline constexpr uint32_t WM_TRAY_NOTIFY = WM_USER + 1; // tray icon -> main window
inline constexpr uint32_t WM_SWITCH_NOTIFY = WM_USER + 2; // switch button -> parent; wParam 0/1
inline constexpr uint32_t WM_MAIN_REQUEST = WM_USER + 3; // panels, task list -> main window
inline constexpr uint32_t WM_TASK_NOTIFY = WM_USER + 6; // worker, its timer -> task list
inline constexpr uint32_t WM_QUEUE_TASK = WM_USER + 7; // UI thread -> worker thread
inline constexpr uint32_t WM_PLAY_ENTRY = WM_USER + 9; // player window -> engine thread
inline constexpr uint32_t WM_PLAYER_NOTIFY = WM_USER + 10; // engine, sliders, playlist -> player windows

// WM_MAIN_REQUEST codes (first parameter).
enum MainRequest : uint32_t {
    REQ_CAPTURE_PANEL = 1,
    REQ_REFRESH_SELECTED = 2,
    REQ_TOGGLE_PANEL = 3,
    REQ_SAVE_PRESET = 4,
    REQ_SLIDE_STEP = 5,
    REQ_GET_SETTINGS = 6,
    REQ_LOAD_SETTINGS = 7,
    REQ_ALL_DONE = 8,
    REQ_IS_CONVERTING = 9,
};

// WM_TASK_NOTIFY codes: the low 16 bits of the first parameter; the high 16
// bits carry the detail. The second parameter is the task, or 0.
enum WorkerNotification : uint32_t {
    NOTIFY_TICK = 1,
    NOTIFY_QUEUE_FINISHED = 2,
    NOTIFY_PROGRESS_LINE = 3,
    NOTIFY_STATE_CHANGED = 4,
    // 5 is never sent.
    NOTIFY_DONE = 6,
    NOTIFY_STOPPED = 7,
    NOTIFY_FAILED = 8,
    NOTIFY_BAD_PARAMETERS = 9,
    NOTIFY_FOLDER_FAILED = 10,
};

constexpr uint32_t makeTaskNotifyParam(uint32_t code, uint32_t detail) { return (detail << 16) | (code & 0xFFFF); }
constexpr uint32_t taskNotifyCode(uint64_t wParam) { return static_cast<uint32_t>(wParam & 0xFFFF); }
constexpr uint32_t taskNotifyDetail(uint64_t wParam) { return static_cast<uint32_t>((wParam >> 16) & 0xFFFF); }

// WM_QUEUE_TASK second parameter values besides a task pointer.
inline constexpr intptr_t QUEUE_RESET = 0;
inline constexpr intptr_t QUEUE_END = -1;

// WM_PLAYER_NOTIFY codes (first parameter); the second is the entry or control.
enum PlayerNotification : uint32_t {
    PLAYER_SLIDER_MOVED = 1,
    PLAYER_ASK_FULL_SCREEN = 2,
    PLAYER_PLAY_ENTRY = 3,
    PLAYER_STOP_CURRENT = 4,
    PLAYER_STOPPED = 6, // playback stopped on request
    PLAYER_ENDED = 7, // the player process ended by itself
    PLAYER_STARTING = 8, // the player process was created
    PLAYER_PLAYING = 9, // the player printed its start line
};

} // namespace qf::core
