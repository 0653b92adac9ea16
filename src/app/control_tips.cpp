#include "app/control_tips.h"

#include "app/main_page_ids.h"
#include "app/strip_ids.h"
#include "drive/advanced_settings_ids.h"
#include "ui/dialog_controls.h"

namespace {

constexpr TipPage kMain = TipPage::kMainPage;
constexpr TipPage kStrip = TipPage::kStrip;
constexpr TipPage kAdvanced = TipPage::kAdvancedSettings;

}  // namespace

const ControlTip kControlTips[] = {
    // ---- main page: steering
    {kMain, IDC_MAX_ANGLE_SLIDER, IDC_MAX_ANGLE_SLIDER,
     "Lock-to-lock rotation: match the car (about 900 for road cars, 540 for GT, 360 for formula cars)"},
    {kMain, IDC_CENTER_WHEEL, IDC_CENTER_WHEEL, "Takes the wheel's present position as straight ahead"},
    {kMain, IDC_INVERT, IDC_INVERT,
     "Reverses steering and force together, for a motor or encoder mounted the other way round"},
    {kMain, IDC_MANUAL, IDC_MANUAL,
     "Manual centring: no calibration run at power-up; the centre is the one you set with Center Wheel"},
    {kMain, IDC_CALIBRATE, IDC_CALIBRATE,
     "Starts the board's calibration of the steering sensor; keep your hands off the wheel until it ends"},
    // ---- main page: game effects (how strongly the board plays what the game sends)
    {kMain, IDC_MAIN_GAIN_SLIDER, IDC_MAIN_GAIN_SLIDER,
     "Overall strength of every force the game sends; lower this first if the wheel clips or is too heavy"},
    {kMain, IDC_GAME_SPRING_SLIDER, IDC_GAME_SPRING_SLIDER,
     "Game's spring effect: a force that pulls the wheel back to the centre, stronger the further you turn"},
    {kMain, IDC_GAME_FRICTION_SLIDER, IDC_GAME_FRICTION_SLIDER,
     "Game's friction effect: an even drag against turning, whatever the speed"},
    {kMain, IDC_GAME_DAMPER_SLIDER, IDC_GAME_DAMPER_SLIDER,
     "Game's damper effect: resistance that grows with how fast you turn, calms the wheel"},
    {kMain, IDC_GAME_INERTIA_SLIDER, IDC_GAME_INERTIA_SLIDER,
     "Game's inertia effect: resistance to speeding up or slowing the wheel, a feel of rim weight"},
    {kMain, IDC_CONSTANT_SLIDER, IDC_CONSTANT_SLIDER,
     "Constant force: the main steering force of most sims (the tyres' self-aligning torque)"},
    {kMain, IDC_SINE_SLIDER, IDC_SINE_SLIDER,
     "Periodic effects (sine, square, triangle): engine vibration, kerbs, road texture, rumble"},
    {kMain, IDC_FORCE_TABLE_SLIDER, IDC_FORCE_TABLE_SLIDER, "Custom force tables sent by the game"},
    // ---- main page: forces outside a game
    {kMain, IDC_DESKTOP_SPRING_SLIDER, IDC_DESKTOP_SPRING_SLIDER,
     "Centring spring while no game drives the wheel (desktop, menus, loading screens)"},
    {kMain, IDC_DESKTOP_DAMPER_SLIDER, IDC_DESKTOP_DAMPER_SLIDER,
     "Damping while no game drives the wheel, so it does not spin freely"},
    {kMain, IDC_USER_SPRING_SLIDER, IDC_USER_SPRING_SLIDER,
     "Your own centring spring, added to whatever the game sends, in every game"},
    {kMain, IDC_USER_FRICTION_SLIDER, IDC_USER_FRICTION_SLIDER,
     "Your own friction, added in every game: hides cogging and makes small corrections steadier"},
    {kMain, IDC_USER_DAMPER_SLIDER, IDC_USER_DAMPER_SLIDER,
     "Your own damping, added in every game: stops oscillation on straights and hands-off"},
    {kMain, IDC_USER_INERTIA_SLIDER, IDC_USER_INERTIA_SLIDER,
     "Your own inertia, added in every game: makes a light rim feel heavier"},
    {kMain, IDC_FILTER_SLIDER, IDC_FILTER_SLIDER,
     "Smooths the force to the motor: higher removes grain and buzz but blurs detail and adds delay"},
    {kMain, IDC_STOP_SPRING_SLIDER, IDC_STOP_SPRING_SLIDER,
     "Stiffness of the end stop at Max Angle: how hard the wheel pushes back past its lock"},
    {kMain, IDC_STOP_DAMPER_SLIDER, IDC_STOP_DAMPER_SLIDER,
     "Damping at the end stop, so the wheel does not bounce off its lock"},
    // ---- main page: the rest
    {kMain, IDC_AUTO_UPDATE, IDC_AUTO_UPDATE, "Asks the update server once at start for newer software or firmware"},
    {kMain, IDC_CHECK_NOW, IDC_CHECK_NOW, "Asks the update server now for newer software or firmware"},
    {kMain, IDC_GAMING_DEVICE, IDC_GAMING_DEVICE, "The game controller whose inputs the picture shows: your wheel"},
    {kMain, IDC_WHEEL_PORT, IDC_WHEEL_PORT, "The COM port of the wheel's board"},
    {kMain, IDC_ADVANCED_SETTINGS, IDC_ADVANCED_SETTINGS,
     "Motor driver, encoder, the pins of buttons and axes, pedal linearity"},
    {kMain, IDC_PROFILE_LIST, IDC_PROFILE_LIST,
     "The profile the wheel now uses; the sliders you move are kept in it"},
    {kMain, IDC_DETECT_GAME, IDC_DETECT_GAME, "Switches to a game's profile by itself while that game runs"},
    {kMain, IDC_PROFILE_NEW, IDC_PROFILE_NEW, "A new profile for a game, tied to the game's program file"},
    {kMain, IDC_PROFILE_EDIT, IDC_PROFILE_EDIT, "Changes the game program the selected profile belongs to"},
    {kMain, IDC_PROFILE_REMOVE, IDC_PROFILE_REMOVE, "Deletes the selected profile"},
    {kMain, IDC_SAVE_BOARD, IDC_SAVE_BOARD, "Saves every setting of the board to a file, to keep or to load again"},
    {kMain, IDC_LOAD_BOARD, IDC_LOAD_BOARD, "Writes the settings of a saved file to the board (shows first how many differ)"},
    {kMain, IDC_PROFILE_EXPORT, IDC_PROFILE_EXPORT, "Saves the selected profile to a file, to share or to move to another PC"},
    {kMain, IDC_PROFILE_IMPORT, IDC_PROFILE_IMPORT, "Adds the profiles of an exported file; nothing you have is lost"},
    {kMain, IDC_START_WITH_WINDOWS, IDC_START_WITH_WINDOWS,
     "Starts Tillerset hidden in the notification area when you log on, so profiles switch for every game"},
    // ---- drive/state strip (developer mode)
    {kStrip, IDC_WINDOW_SLIDER, IDC_WINDOW_SLIDER, "How far back the average and maximum current look"},
    {kStrip, IDC_RESET_MAX, IDC_RESET_MAX, "Starts the maximum current over"},
    {kStrip, IDC_RESET_BOARD, IDC_RESET_BOARD, "Restarts the wheel's board into its bootloader, as a firmware flash does"},
    {kStrip, IDC_TORQUE_BW_SLIDER, IDC_TORQUE_BW_SLIDER,
     "Torque loop bandwidth of the servo drive: higher is crisper, lower is smoother and quieter"},
    {kStrip, IDC_SM_PORT, IDC_SM_PORT, "The COM port of the USB-RS485 adapter to the servo drive"},
    {kStrip, IDC_RESTART_DRIVE, IDC_RESTART_DRIVE, "Restarts the servo drive"},
    {kStrip, IDC_CLEAR_FAULTS, IDC_CLEAR_FAULTS, "Clears the drive's faults (over-current, tracking error) so it drives again"},
    // ---- Advanced Settings
    {kAdvanced, IDC_COMMAND_MODE, IDC_COMMAND_MODE,
     "How the board drives the motor: PWM alone, PWM and direction, two PWM lines (+/-), or a VNH5019 bridge"},
    {kAdvanced, IDC_PWM_FREQUENCY, IDC_PWM_FREQUENCY,
     "Motor PWM switching frequency: 20 KHz is silent; lower ones can whine but suit some drivers"},
    {kAdvanced, IDC_ENCODER_PPR, IDC_ENCODER_PPR, "Pulses per revolution of the steering encoder, per channel"},
    {kAdvanced, IDC_ENCODER_INVERT, IDC_ENCODER_INVERT, "Reverses the encoder's count, for an encoder that counts the wrong way"},
    // The 36 pin lists carry none: under Wine a tooltip on each of them
    // held the window seconds longer while the dialog opened and its lists
    // changed; their labels say what they are.
    {kAdvanced, IDC_AXIS_X, IDC_AXIS_RX,
     "The input of this axis: an analog pin (pedal potentiometer), a load cell (LC) or the encoder"},
    {kAdvanced, IDC_EXTERNAL_GAIN_INPUT, IDC_EXTERNAL_GAIN_INPUT,
     "Analog pin of a knob that scales every force, e.g. on the rim"},
    {kAdvanced, IDC_LINEARITY_X, IDC_LINEARITY_RX,
     "The axis' response curve: progressive or digressive pedal feel"},
    {kAdvanced, IDC_RESET_TO_DEFAULT, IDC_RESET_TO_DEFAULT,
     "Puts every setting of the board back to its defaults (asks first)"},
};

const int kControlTipCount = static_cast<int>(sizeof kControlTips / sizeof kControlTips[0]);

void AddControlTips(DialogControls& dialog, TipPage page) {
  for (const ControlTip& tip : kControlTips) {
    if (tip.page != page) continue;
    for (int id = tip.firstId; id <= tip.lastId; ++id) dialog.SetTooltip(id, tip.text);
  }
}
