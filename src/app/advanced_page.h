#pragma once
// The main page's "Advanced Settings" (2123): drive/'s dialog over the
// ControlPanel's wheel link, its drive link and the game controller.
class ControlPanel;
class DialogControls;
class GameControllerAxes;

// The modal dialog over the page (the page has checked that the wheel was found).
void OpenAdvancedSettings(ControlPanel& panel, DialogControls& page);

// The game controller as the advanced settings see it. The program reads no
// game controller yet: this one has no axes and reports nothing.
GameControllerAxes& PanelGameController(ControlPanel& panel);
