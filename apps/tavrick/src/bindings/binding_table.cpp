// The binding table: what every control of the surface does in each page and layer. Data only;
// lookups live in control_map.cpp.
//
// Rows are in table order: page (loupe, crop, remove, redEye, masking, wb, library), layer,
// rotations before presses, ascending control number. The pages crop, remove, redEye, masking
// and wb bind only the controls that act differently there; the engine falls back to loupe for
// the rest. library does not fall back.

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <span>
#include <string_view>

#include "bindings/binding_table.h"

namespace tavrick {
namespace {

using Keys = std::span<const std::string_view>;

// Develop parameter keys. Each one sits in an array so that a Reset can refer to it. The colour
// runs are in the surface's colour order: red, orange, yellow, green, aqua, blue, purple, magenta.
constexpr std::string_view k_mixer_hue[] = {
    "mixer.red.hue",  "mixer.orange.hue", "mixer.yellow.hue", "mixer.green.hue",
    "mixer.aqua.hue", "mixer.blue.hue",   "mixer.purple.hue", "mixer.magenta.hue",
};
constexpr std::string_view k_mixer_sat[] = {
    "mixer.red.sat",  "mixer.orange.sat", "mixer.yellow.sat", "mixer.green.sat",
    "mixer.aqua.sat", "mixer.blue.sat",   "mixer.purple.sat", "mixer.magenta.sat",
};
constexpr std::string_view k_mixer_lum[] = {
    "mixer.red.lum",  "mixer.orange.lum", "mixer.yellow.lum", "mixer.green.lum",
    "mixer.aqua.lum", "mixer.blue.lum",   "mixer.purple.lum", "mixer.magenta.lum",
};
constexpr std::string_view k_bw[] = {
    "bw.red", "bw.orange", "bw.yellow", "bw.green", "bw.aqua", "bw.blue", "bw.purple", "bw.magenta",
};
constexpr std::string_view k_light_exposure[] = {"light.exposure"};
constexpr std::string_view k_light_blacks[] = {"light.blacks"};
constexpr std::string_view k_light_whites[] = {"light.whites"};
constexpr std::string_view k_light_highlights[] = {"light.highlights"};
constexpr std::string_view k_light_shadows[] = {"light.shadows"};
constexpr std::string_view k_light_contrast[] = {"light.contrast"};
constexpr std::string_view k_color_saturation[] = {"color.saturation"};
constexpr std::string_view k_color_vibrance[] = {"color.vibrance"};
constexpr std::string_view k_wb_temp[] = {"wb.temp"};
constexpr std::string_view k_wb_tint[] = {"wb.tint"};
constexpr std::string_view k_effects_dehaze[] = {"effects.dehaze"};
constexpr std::string_view k_effects_clarity[] = {"effects.clarity"};
constexpr std::string_view k_effects_texture[] = {"effects.texture"};
constexpr std::string_view k_vignette_amount[] = {"vignette.amount"};
constexpr std::string_view k_detail_sharpen_amount[] = {"detail.sharpenAmount"};
constexpr std::string_view k_detail_sharpen_radius[] = {"detail.sharpenRadius"};
constexpr std::string_view k_detail_sharpen_masking[] = {"detail.sharpenMasking"};
constexpr std::string_view k_detail_nr_luminance[] = {"detail.nrLuminance"};
constexpr std::string_view k_detail_nr_detail[] = {"detail.nrDetail"};
constexpr std::string_view k_detail_nr_color[] = {"detail.nrColor"};
constexpr std::string_view k_curve_shadows[] = {"curve.shadows"};
constexpr std::string_view k_curve_darks[] = {"curve.darks"};
constexpr std::string_view k_curve_lights[] = {"curve.lights"};
constexpr std::string_view k_curve_highlights[] = {"curve.highlights"};
constexpr std::string_view k_curve_split_shadows[] = {"curve.splitShadows"};
constexpr std::string_view k_curve_split_mid[] = {"curve.splitMid"};
constexpr std::string_view k_curve_split_highlights[] = {"curve.splitHighlights"};
constexpr std::string_view k_grading_shadows_hue[] = {"grading.shadows.hue"};
constexpr std::string_view k_grading_shadows_sat[] = {"grading.shadows.sat"};
constexpr std::string_view k_grading_highlights_hue[] = {"grading.highlights.hue"};
constexpr std::string_view k_grading_highlights_sat[] = {"grading.highlights.sat"};
constexpr std::string_view k_grading_balance[] = {"grading.balance"};
constexpr std::string_view k_calibration_red_hue[] = {"calibration.redHue"};
constexpr std::string_view k_calibration_red_sat[] = {"calibration.redSat"};
constexpr std::string_view k_calibration_green_sat[] = {"calibration.greenSat"};

// Device actions of the preset buttons: slots 1 to 8 (no modifier), then 9 to 16 (Fn held).
constexpr std::string_view k_preset_names[] = {
    "ApplyDevelopPreset___Natural Portrait",      "ApplyDevelopPreset___Vivid Landscape",
    "ApplyDevelopPreset___Soft Matte Film",       "ApplyDevelopPreset___Warm Golden Hour",
    "ApplyDevelopPreset___Cool Blue Evening",     "ApplyDevelopPreset___Black and White",
    "ApplyDevelopPreset___Faded Vintage Look",    "ApplyDevelopPreset___Street Contrast",
    "ApplyDevelopPreset___Cinematic Teal Orange", "ApplyDevelopPreset___Soft Skin Portrait",
    "ApplyDevelopPreset___Dramatic Sky Boost",    "ApplyDevelopPreset___Night City Lights",
    "ApplyDevelopPreset___Clean Product Shot",    "ApplyDevelopPreset___Sepia Toned Classic",
    "ApplyDevelopPreset___Bright Airy Wedding",   "ApplyDevelopPreset___Moody Forest Greens",
};

/// The key at `index` of a colour run, as a list of one key.
constexpr Keys one_of(Keys keys, std::size_t index) { return keys.subspan(index, 1); }

// Action builders; `key` is a list of exactly one key.
constexpr Action adjust(Keys key, double scale) { return {Adjust{key.front(), scale}}; }
constexpr Action quick_adjust(Keys key, double scale) { return {QuickAdjust{key.front(), scale}}; }
constexpr Action reset(Keys keys) { return {Reset{keys}}; }
constexpr Action mask_adjust(std::string_view key, double scale) {
  return {MaskAdjust{key, scale}};
}
constexpr Action mask_reset(std::string_view key) { return {MaskReset{key}}; }
constexpr Action crop_angle(double scale) { return {CropAngle{scale}}; }
constexpr Action crop_move(double dx, double dy) { return {CropMove{dx, dy}}; }
constexpr Action crop_scale(double scale) { return {CropScale{scale}}; }
constexpr Action turn(const Action& ccw, const Action& cw) { return {Turn{&ccw, &cw}}; }
constexpr Action command(std::string_view method, std::string_view params = {}) {
  return {Command{method, params}};
}
constexpr Action ui_command(std::string_view method, std::string_view params) {
  return {UiCommand{method, params}};
}
constexpr Action toggle_flag(std::string_view flag) { return {ToggleFlag{flag}}; }
constexpr Action toggle_filter(std::string_view filter) { return {ToggleFilter{filter}}; }
constexpr Action preset(std::uint64_t slot) { return {Preset{slot}}; }
constexpr Action unsupported(std::string_view reason) { return {Unsupported{reason}}; }

// Actions that Turn rows refer to, and that some presses use on their own.
constexpr Action k_library_previous = command("library.previous");
constexpr Action k_library_next = command("library.next");
constexpr Action k_key_up_action = ui_command("ui.key", R"({"key":"up"})");
constexpr Action k_key_down_action = ui_command("ui.key", R"({"key":"down"})");
constexpr Action k_key_left_action = ui_command("ui.key", R"({"key":"left"})");
constexpr Action k_key_right_action = ui_command("ui.key", R"({"key":"right"})");
constexpr Action k_brush_smaller = command("brush.smaller");
constexpr Action k_brush_larger = command("brush.larger");
constexpr Action k_brush_feather_less = command("brush.featherLess");
constexpr Action k_brush_feather_more = command("brush.featherMore");

constexpr Binding k_rows[] = {
    // loupe, layer 0, rotations
    {"loupe/0/r/1", "HueAdjustmentRed", adjust(one_of(k_mixer_hue, 0), 1.0)},
    {"loupe/0/r/2", "HueAdjustmentOrange", adjust(one_of(k_mixer_hue, 1), 1.0)},
    {"loupe/0/r/3", "HueAdjustmentYellow", adjust(one_of(k_mixer_hue, 2), 1.0)},
    {"loupe/0/r/4", "HueAdjustmentGreen", adjust(one_of(k_mixer_hue, 3), 1.0)},
    {"loupe/0/r/5", "HueAdjustmentAqua", adjust(one_of(k_mixer_hue, 4), 1.0)},
    {"loupe/0/r/6", "HueAdjustmentBlue", adjust(one_of(k_mixer_hue, 5), 1.0)},
    {"loupe/0/r/7", "HueAdjustmentPurple", adjust(one_of(k_mixer_hue, 6), 1.0)},
    {"loupe/0/r/8", "HueAdjustmentMagenta", adjust(one_of(k_mixer_hue, 7), 1.0)},
    {"loupe/0/r/9", "SaturationAdjustmentRed", adjust(one_of(k_mixer_sat, 0), 1.0)},
    {"loupe/0/r/10", "SaturationAdjustmentOrange", adjust(one_of(k_mixer_sat, 1), 1.0)},
    {"loupe/0/r/11", "SaturationAdjustmentYellow", adjust(one_of(k_mixer_sat, 2), 1.0)},
    {"loupe/0/r/12", "SaturationAdjustmentGreen", adjust(one_of(k_mixer_sat, 3), 1.0)},
    {"loupe/0/r/13", "SaturationAdjustmentAqua", adjust(one_of(k_mixer_sat, 4), 1.0)},
    {"loupe/0/r/14", "SaturationAdjustmentBlue", adjust(one_of(k_mixer_sat, 5), 1.0)},
    {"loupe/0/r/15", "SaturationAdjustmentPurple", adjust(one_of(k_mixer_sat, 6), 1.0)},
    {"loupe/0/r/16", "SaturationAdjustmentMagenta", adjust(one_of(k_mixer_sat, 7), 1.0)},
    {"loupe/0/r/17", "LuminanceAdjustmentRed", adjust(one_of(k_mixer_lum, 0), 1.0)},
    {"loupe/0/r/18", "LuminanceAdjustmentOrange", adjust(one_of(k_mixer_lum, 1), 1.0)},
    {"loupe/0/r/19", "LuminanceAdjustmentYellow", adjust(one_of(k_mixer_lum, 2), 1.0)},
    {"loupe/0/r/20", "LuminanceAdjustmentGreen", adjust(one_of(k_mixer_lum, 3), 1.0)},
    {"loupe/0/r/21", "LuminanceAdjustmentAqua", adjust(one_of(k_mixer_lum, 4), 1.0)},
    {"loupe/0/r/22", "LuminanceAdjustmentBlue", adjust(one_of(k_mixer_lum, 5), 1.0)},
    {"loupe/0/r/23", "LuminanceAdjustmentPurple", adjust(one_of(k_mixer_lum, 6), 1.0)},
    {"loupe/0/r/24", "LuminanceAdjustmentMagenta", adjust(one_of(k_mixer_lum, 7), 1.0)},
    {"loupe/0/r/25", "GrayMixerRed", adjust(one_of(k_bw, 0), 1.0)},
    {"loupe/0/r/26", "GrayMixerOrange", adjust(one_of(k_bw, 1), 1.0)},
    {"loupe/0/r/27", "GrayMixerYellow", adjust(one_of(k_bw, 2), 1.0)},
    {"loupe/0/r/28", "GrayMixerGreen", adjust(one_of(k_bw, 3), 1.0)},
    {"loupe/0/r/29", "GrayMixerAqua", adjust(one_of(k_bw, 4), 1.0)},
    {"loupe/0/r/30", "GrayMixerBlue", adjust(one_of(k_bw, 5), 1.0)},
    {"loupe/0/r/31", "GrayMixerPurple", adjust(one_of(k_bw, 6), 1.0)},
    {"loupe/0/r/32", "GrayMixerMagenta", adjust(one_of(k_bw, 7), 1.0)},
    {"loupe/0/r/33", "Exposure", adjust(k_light_exposure, 0.05)},
    {"loupe/0/r/34", "Blacks", adjust(k_light_blacks, 1.0)},
    {"loupe/0/r/35", "Whites", adjust(k_light_whites, 1.0)},
    {"loupe/0/r/36", "Saturation", adjust(k_color_saturation, 1.0)},
    {"loupe/0/r/37", "Vibrance", adjust(k_color_vibrance, 1.0)},
    {"loupe/0/r/38", "Temperature", adjust(k_wb_temp, 50.0)},
    {"loupe/0/r/39", "Tint", adjust(k_wb_tint, 1.0)},
    {"loupe/0/r/40", "Highlights", adjust(k_light_highlights, 1.0)},
    {"loupe/0/r/41", "Dehaze", adjust(k_effects_dehaze, 1.0)},
    {"loupe/0/r/42", "Sharpness", adjust(k_detail_sharpen_amount, 1.0)},
    {"loupe/0/r/44", "Shadows", adjust(k_light_shadows, 1.0)},
    {"loupe/0/r/45", "Clarity", adjust(k_effects_clarity, 1.0)},
    {"loupe/0/r/46", "Contrast", adjust(k_light_contrast, 1.0)},
    {"loupe/0/r/48", "ActivateCropToolByRotation", crop_angle(0.1)},
    // loupe, layer 0, presses
    {"loupe/0/p/1", "ResetHueAdjustmentRed", reset(one_of(k_mixer_hue, 0))},
    {"loupe/0/p/2", "ResetHueAdjustmentOrange", reset(one_of(k_mixer_hue, 1))},
    {"loupe/0/p/3", "ResetHueAdjustmentYellow", reset(one_of(k_mixer_hue, 2))},
    {"loupe/0/p/4", "ResetHueAdjustmentGreen", reset(one_of(k_mixer_hue, 3))},
    {"loupe/0/p/5", "ResetHueAdjustmentAqua", reset(one_of(k_mixer_hue, 4))},
    {"loupe/0/p/6", "ResetHueAdjustmentBlue", reset(one_of(k_mixer_hue, 5))},
    {"loupe/0/p/7", "ResetHueAdjustmentPurple", reset(one_of(k_mixer_hue, 6))},
    {"loupe/0/p/8", "ResetHueAdjustmentMagenta", reset(one_of(k_mixer_hue, 7))},
    {"loupe/0/p/9", "ResetSaturationAdjustmentRed", reset(one_of(k_mixer_sat, 0))},
    {"loupe/0/p/10", "ResetSaturationAdjustmentOrange", reset(one_of(k_mixer_sat, 1))},
    {"loupe/0/p/11", "ResetSaturationAdjustmentYellow", reset(one_of(k_mixer_sat, 2))},
    {"loupe/0/p/12", "ResetSaturationAdjustmentGreen", reset(one_of(k_mixer_sat, 3))},
    {"loupe/0/p/13", "ResetSaturationAdjustmentAqua", reset(one_of(k_mixer_sat, 4))},
    {"loupe/0/p/14", "ResetSaturationAdjustmentBlue", reset(one_of(k_mixer_sat, 5))},
    {"loupe/0/p/15", "ResetSaturationAdjustmentPurple", reset(one_of(k_mixer_sat, 6))},
    {"loupe/0/p/16", "ResetSaturationAdjustmentMagenta", reset(one_of(k_mixer_sat, 7))},
    {"loupe/0/p/17", "ResetLuminanceAdjustmentRed", reset(one_of(k_mixer_lum, 0))},
    {"loupe/0/p/18", "ResetLuminanceAdjustmentOrange", reset(one_of(k_mixer_lum, 1))},
    {"loupe/0/p/19", "ResetLuminanceAdjustmentYellow", reset(one_of(k_mixer_lum, 2))},
    {"loupe/0/p/20", "ResetLuminanceAdjustmentGreen", reset(one_of(k_mixer_lum, 3))},
    {"loupe/0/p/21", "ResetLuminanceAdjustmentAqua", reset(one_of(k_mixer_lum, 4))},
    {"loupe/0/p/22", "ResetLuminanceAdjustmentBlue", reset(one_of(k_mixer_lum, 5))},
    {"loupe/0/p/23", "ResetLuminanceAdjustmentPurple", reset(one_of(k_mixer_lum, 6))},
    {"loupe/0/p/24", "ResetLuminanceAdjustmentMagenta", reset(one_of(k_mixer_lum, 7))},
    {"loupe/0/p/25", "ResetGrayMixerRed", reset(one_of(k_bw, 0))},
    {"loupe/0/p/26", "ResetGrayMixerOrange", reset(one_of(k_bw, 1))},
    {"loupe/0/p/27", "ResetGrayMixerYellow", reset(one_of(k_bw, 2))},
    {"loupe/0/p/28", "ResetGrayMixerGreen", reset(one_of(k_bw, 3))},
    {"loupe/0/p/29", "ResetGrayMixerAqua", reset(one_of(k_bw, 4))},
    {"loupe/0/p/30", "ResetGrayMixerBlue", reset(one_of(k_bw, 5))},
    {"loupe/0/p/31", "ResetGrayMixerPurple", reset(one_of(k_bw, 6))},
    {"loupe/0/p/32", "ResetGrayMixerMagenta", reset(one_of(k_bw, 7))},
    {"loupe/0/p/33", "ResetExposure", reset(k_light_exposure)},
    {"loupe/0/p/34", "ResetBlacks", reset(k_light_blacks)},
    {"loupe/0/p/35", "ResetWhites", reset(k_light_whites)},
    {"loupe/0/p/36", "ResetSaturation", reset(k_color_saturation)},
    {"loupe/0/p/37", "ResetVibrance", reset(k_color_vibrance)},
    {"loupe/0/p/38", "ResetTemperature", reset(k_wb_temp)},
    {"loupe/0/p/39", "ResetTint", reset(k_wb_tint)},
    {"loupe/0/p/40", "ResetHighlights", reset(k_light_highlights)},
    {"loupe/0/p/41", "ResetDehaze", reset(k_effects_dehaze)},
    {"loupe/0/p/42", "ResetSharpness", reset(k_detail_sharpen_amount)},
    {"loupe/0/p/44", "ResetShadows", reset(k_light_shadows)},
    {"loupe/0/p/45", "ResetClarity", reset(k_effects_clarity)},
    {"loupe/0/p/46", "ResetContrast", reset(k_light_contrast)},
    {"loupe/0/p/48", "ActivateCropTool", command("panel.crop")},
    {"loupe/0/p/49", "TogglePickFlag", toggle_flag("pick")},
    {"loupe/0/p/50", "ToggleRejectFlag", toggle_flag("reject")},
    {"loupe/0/p/51", "AutoSettings", command("develop.auto")},
    {"loupe/0/p/52", "AutoWhiteBalance", command("develop.wb", R"({"mode":"auto"})")},
    {"loupe/0/p/53", "ToggleZoomView", command("view.zoomToggle")},
    {"loupe/0/p/54", "ActivateDevelopTool___loupe",
     ui_command("ui.set", R"({"view":"detail","right":"edit"})")},
    {"loupe/0/p/66", "RatingStar1", command("photo.rate", R"({"rating":1,"toggle":true})")},
    {"loupe/0/p/67", "RatingStar2", command("photo.rate", R"({"rating":2,"toggle":true})")},
    {"loupe/0/p/68", "RatingStar3", command("photo.rate", R"({"rating":3,"toggle":true})")},
    {"loupe/0/p/69", "RatingStar4", command("photo.rate", R"({"rating":4,"toggle":true})")},
    {"loupe/0/p/70", "RatingStar5", command("photo.rate", R"({"rating":5,"toggle":true})")},
    {"loupe/0/p/71", "RatingColor1", command("photo.label", R"({"label":"red"})")},
    {"loupe/0/p/72", "RatingColor2", command("photo.label", R"({"label":"yellow"})")},
    {"loupe/0/p/73", "RatingColor3", command("photo.label", R"({"label":"green"})")},
    {"loupe/0/p/74", "RatingColor4", command("photo.label", R"({"label":"blue"})")},
    {"loupe/0/p/75", "RatingColor5", command("photo.label", R"({"label":"purple"})")},
    {"loupe/0/p/76", "ProfileAction", k_key_up_action},
    {"loupe/0/p/77", "ProfileAction", k_key_down_action},
    {"loupe/0/p/78", "MoveToPreviousPhoto", k_library_previous},
    {"loupe/0/p/79", "MoveToNextPhoto", k_library_next},
    {"loupe/0/p/80", k_preset_names[0], preset(1)},
    {"loupe/0/p/81", k_preset_names[1], preset(2)},
    {"loupe/0/p/82", k_preset_names[2], preset(3)},
    {"loupe/0/p/83", k_preset_names[3], preset(4)},
    {"loupe/0/p/84", k_preset_names[4], preset(5)},
    {"loupe/0/p/85", k_preset_names[5], preset(6)},
    {"loupe/0/p/86", k_preset_names[6], preset(7)},
    {"loupe/0/p/87", k_preset_names[7], preset(8)},
    {"loupe/0/p/88", "OpenExportDialog", command("dialog.export")},
    {"loupe/0/p/92", "CopyAllSettings", command("develop.copy")},
    {"loupe/0/p/93", "PasteAllSettings", command("develop.paste")},
    {"loupe/0/p/95", "Undo", command("edit.undo")},
    {"loupe/0/p/96", "Redo", command("edit.redo")},
    {"loupe/0/p/97", "FullScreen", command("view.fullScreenPreview")},
    {"loupe/0/p/98", "SetColorModeHue", ui_command("ui.set", R"({"mixerMode":"hue"})")},
    {"loupe/0/p/99", "SetColorModeSaturation", ui_command("ui.set", R"({"mixerMode":"sat"})")},
    {"loupe/0/p/100", "SetColorModeLuminance", ui_command("ui.set", R"({"mixerMode":"lum"})")},
    {"loupe/0/p/101", "ToggleColorMode", command("develop.treatment")},
    {"loupe/0/p/102", "ToggleBeforeAfter", command("view.beforeAfter")},
    {"loupe/0/p/110", "ActivateClientApplication", Action{FocusApp{}}},
    {"loupe/0/p/114", "ActivateDevelopTool___localized", command("tool.brush")},
    {"loupe/0/p/115", "ActivateDevelopTool___circularGradient", command("tool.radial")},
    {"loupe/0/p/116", "ActivateDevelopTool___gradient", command("tool.linear")},
    // loupe, layer 1, rotations
    {"loupe/1/r/33", "ExposureClipping", adjust(k_light_exposure, 0.05)},
    {"loupe/1/r/34", "BlacksClipping", adjust(k_light_blacks, 1.0)},
    {"loupe/1/r/35", "WhitesClipping", adjust(k_light_whites, 1.0)},
    {"loupe/1/r/40", "HighlightsClipping", adjust(k_light_highlights, 1.0)},
    {"loupe/1/r/41", "PostCropVignetteAmount", adjust(k_vignette_amount, 1.0)},
    {"loupe/1/r/42", "LuminanceSmoothing", adjust(k_detail_nr_luminance, 1.0)},
    {"loupe/1/r/44", "ShadowsClipping", adjust(k_light_shadows, 1.0)},
    {"loupe/1/r/45", "Texture", adjust(k_effects_texture, 1.0)},
    {"loupe/1/r/46", "ContrastClipping", adjust(k_light_contrast, 1.0)},
    {"loupe/1/r/48", "MoveToNextOrPreviousPhoto", turn(k_library_previous, k_library_next)},
    // loupe, layer 1, presses
    {"loupe/1/p/33", "ResetExposureClipping", reset(k_light_exposure)},
    {"loupe/1/p/34", "ResetBlacksClipping", reset(k_light_blacks)},
    {"loupe/1/p/35", "ResetWhitesClipping", reset(k_light_whites)},
    {"loupe/1/p/40", "ResetHighlightsClipping", reset(k_light_highlights)},
    {"loupe/1/p/41", "ResetPostCropVignetteAmount", reset(k_vignette_amount)},
    {"loupe/1/p/42", "ResetLuminanceSmoothing", reset(k_detail_nr_luminance)},
    {"loupe/1/p/44", "ResetShadowsClipping", reset(k_light_shadows)},
    {"loupe/1/p/45", "ResetTexture", reset(k_effects_texture)},
    {"loupe/1/p/46", "ResetContrastClipping", reset(k_light_contrast)},
    {"loupe/1/p/49", "FlagFilter___flagged", toggle_filter(R"({"flag":"pick"})")},
    {"loupe/1/p/50", "FlagFilter___rejected", toggle_filter(R"({"flag":"reject"})")},
    {"loupe/1/p/51", "CycleInfoDisplay", command("view.infoOverlay")},
    {"loupe/1/p/52", "ShowClipping", command("view.clipping")},
    {"loupe/1/p/53", "EditInPhotoshop", command("photo.editInExternal")},
    {"loupe/1/p/54", "ToggleShowQuickCollection",
     unsupported("Sorvic chưa có nguồn Quick Collection riêng")},
    {"loupe/1/p/66", "RatingFilter1", toggle_filter(R"({"rating":1,"ratingOp":"atLeast"})")},
    {"loupe/1/p/67", "RatingFilter2", toggle_filter(R"({"rating":2,"ratingOp":"atLeast"})")},
    {"loupe/1/p/68", "RatingFilter3", toggle_filter(R"({"rating":3,"ratingOp":"atLeast"})")},
    {"loupe/1/p/69", "RatingFilter4", toggle_filter(R"({"rating":4,"ratingOp":"atLeast"})")},
    {"loupe/1/p/70", "RatingFilter5", toggle_filter(R"({"rating":5,"ratingOp":"atLeast"})")},
    {"loupe/1/p/71", "ColorFilter1", toggle_filter(R"({"label":"red"})")},
    {"loupe/1/p/72", "ColorFilter2", toggle_filter(R"({"label":"yellow"})")},
    {"loupe/1/p/73", "ColorFilter3", toggle_filter(R"({"label":"green"})")},
    {"loupe/1/p/74", "ColorFilter4", toggle_filter(R"({"label":"blue"})")},
    {"loupe/1/p/75", "ColorFilter5", toggle_filter(R"({"label":"purple"})")},
    {"loupe/1/p/76", "SelectAll", command("library.selectAll")},
    {"loupe/1/p/77", "DeselectOtherPhotos", Action{SelectOnlyCurrent{}}},
    {"loupe/1/p/78", "SelectLeft", ui_command("ui.key", R"({"key":"left","shift":true})")},
    {"loupe/1/p/79", "SelectRight", ui_command("ui.key", R"({"key":"right","shift":true})")},
    {"loupe/1/p/80", k_preset_names[8], preset(9)},
    {"loupe/1/p/81", k_preset_names[9], preset(10)},
    {"loupe/1/p/82", k_preset_names[10], preset(11)},
    {"loupe/1/p/83", k_preset_names[11], preset(12)},
    {"loupe/1/p/84", k_preset_names[12], preset(13)},
    {"loupe/1/p/85", k_preset_names[13], preset(14)},
    {"loupe/1/p/86", k_preset_names[14], preset(15)},
    {"loupe/1/p/87", k_preset_names[15], preset(16)},
    {"loupe/1/p/88", "ExportWithPreset", command("app.exportPrevious")},
    {"loupe/1/p/92", "CreateVirtualCopies", command("photo.virtualCopy")},
    {"loupe/1/p/93", "PasteFromPrevious", command("develop.pastePrevious")},
    {"loupe/1/p/95", "ResetAllAdjustments", command("develop.reset")},
    {"loupe/1/p/97", "TogglePanels", ui_command("ui.key", R"({"key":"tab"})")},
    {"loupe/1/p/98", "ResetHueValues", reset(k_mixer_hue)},
    {"loupe/1/p/99", "ResetSaturationValues", reset(k_mixer_sat)},
    {"loupe/1/p/100", "ResetLuminanceValues", reset(k_mixer_lum)},
    {"loupe/1/p/101", "ResetHSLValues", command("develop.resetSection", R"({"section":"mixer"})")},
    {"loupe/1/p/102", "ToggleBeforeOnly", command("view.showOriginal")},
    {"loupe/1/p/114", "ActivateDevelopTool___dust", command("panel.remove")},
    {"loupe/1/p/115", "ActivateLoupedeckConfiguration",
     unsupported("mở cấu hình app Loupedeck — không cần nữa")},
    {"loupe/1/p/116", "ToggleDevelopLibraryModules", command("view.gridToggle")},
    // loupe, layer 2, rotations
    {"loupe/2/r/33", "Sharpness", adjust(k_detail_sharpen_amount, 1.0)},
    {"loupe/2/r/34", "ParametricShadows", adjust(k_curve_shadows, 1.0)},
    {"loupe/2/r/35", "ParametricLights", adjust(k_curve_lights, 1.0)},
    {"loupe/2/r/36", "SplitToningShadowSaturation", adjust(k_grading_shadows_sat, 1.0)},
    {"loupe/2/r/37", "SplitToningShadowHue", adjust(k_grading_shadows_hue, 2.0)},
    {"loupe/2/r/38", "SplitToningHighlightHue", adjust(k_grading_highlights_hue, 2.0)},
    {"loupe/2/r/39", "SplitToningHighlightSaturation", adjust(k_grading_highlights_sat, 1.0)},
    {"loupe/2/r/40", "ParametricHighlights", adjust(k_curve_highlights, 1.0)},
    {"loupe/2/r/44", "ParametricDarks", adjust(k_curve_darks, 1.0)},
    {"loupe/2/r/45", "SharpenRadius", adjust(k_detail_sharpen_radius, 0.1)},
    {"loupe/2/r/46", "SharpenEdgeMasking", adjust(k_detail_sharpen_masking, 1.0)},
    // loupe, layer 2, presses
    {"loupe/2/p/33", "ResetSharpness", reset(k_detail_sharpen_amount)},
    {"loupe/2/p/34", "ResetParametricShadows", reset(k_curve_shadows)},
    {"loupe/2/p/35", "ResetParametricLights", reset(k_curve_lights)},
    {"loupe/2/p/36", "ResetSplitToningShadowSaturation", reset(k_grading_shadows_sat)},
    {"loupe/2/p/37", "ResetSplitToningShadowHue", reset(k_grading_shadows_hue)},
    {"loupe/2/p/38", "ResetSplitToningHighlightHue", reset(k_grading_highlights_hue)},
    {"loupe/2/p/39", "ResetSplitToningHighlightSaturation", reset(k_grading_highlights_sat)},
    {"loupe/2/p/40", "ResetParametricHighlights", reset(k_curve_highlights)},
    {"loupe/2/p/44", "ResetParametricDarks", reset(k_curve_darks)},
    {"loupe/2/p/45", "ResetSharpenRadius", reset(k_detail_sharpen_radius)},
    {"loupe/2/p/46", "ResetSharpenEdgeMasking", reset(k_detail_sharpen_masking)},
    // loupe, layer 3, rotations
    {"loupe/3/r/33", "LuminanceSmoothing", adjust(k_detail_nr_luminance, 1.0)},
    {"loupe/3/r/34", "ParametricShadowSplit", adjust(k_curve_split_shadows, 1.0)},
    {"loupe/3/r/35", "ParametricMidtoneSplit", adjust(k_curve_split_mid, 1.0)},
    {"loupe/3/r/36", "RedSaturation", adjust(k_calibration_red_sat, 1.0)},
    {"loupe/3/r/37", "SplitToningBalance", adjust(k_grading_balance, 1.0)},
    {"loupe/3/r/38", "RedHue", adjust(k_calibration_red_hue, 1.0)},
    {"loupe/3/r/39", "GreenSaturation", adjust(k_calibration_green_sat, 1.0)},
    {"loupe/3/r/40", "ParametricHighlightSplit", adjust(k_curve_split_highlights, 1.0)},
    {"loupe/3/r/44", "ParametricShadowSplit", adjust(k_curve_split_shadows, 1.0)},
    {"loupe/3/r/45", "LuminanceNoiseReductionDetail", adjust(k_detail_nr_detail, 1.0)},
    {"loupe/3/r/46", "ColorNoiseReduction", adjust(k_detail_nr_color, 1.0)},
    // loupe, layer 3, presses
    {"loupe/3/p/33", "ResetLuminanceSmoothing", reset(k_detail_nr_luminance)},
    {"loupe/3/p/34", "ResetParametricShadowSplit", reset(k_curve_split_shadows)},
    {"loupe/3/p/35", "ResetParametricMidtoneSplit", reset(k_curve_split_mid)},
    {"loupe/3/p/36", "ResetRedSaturation", reset(k_calibration_red_sat)},
    {"loupe/3/p/37", "ResetSplitToningBalance", reset(k_grading_balance)},
    {"loupe/3/p/38", "ResetRedHue", reset(k_calibration_red_hue)},
    {"loupe/3/p/39", "ResetGreenSaturation", reset(k_calibration_green_sat)},
    {"loupe/3/p/40", "ResetParametricHighlightSplit", reset(k_curve_split_highlights)},
    {"loupe/3/p/44", "ResetParametricShadowSplit", reset(k_curve_split_shadows)},
    {"loupe/3/p/45", "ResetLuminanceNoiseReductionDetail", reset(k_detail_nr_detail)},
    {"loupe/3/p/46", "ResetColorNoiseReduction", reset(k_detail_nr_color)},
    // crop, layer 0, rotations
    {"crop/0/r/41", "ChangeCropAreaSize", crop_scale(0.01)},
    {"crop/0/r/48", "RotateCropArea", crop_angle(0.1)},
    // crop, layer 0, presses
    {"crop/0/p/48", "DeactivateDevelopTool", command("tool.done")},
    {"crop/0/p/51", "ToggleCropAspectRatio", command("crop.aspect", R"({"aspect":"toggle"})")},
    {"crop/0/p/52", "CycleCropGridOverlay", command("view.cropOverlay")},
    {"crop/0/p/54", "ToggleQuickCollection", command("album.toggleTarget")},
    {"crop/0/p/76", "MoveCropAreaUp", crop_move(0.0, -0.01)},
    {"crop/0/p/77", "MoveCropAreaDown", crop_move(0.0, 0.01)},
    {"crop/0/p/78", "MoveCropAreaLeft", crop_move(-0.01, 0.0)},
    {"crop/0/p/79", "MoveCropAreaRight", crop_move(0.01, 0.0)},
    {"crop/0/p/80", "SetCropAspectRatio___1:1", command("crop.aspect", R"({"aspect":"1x1"})")},
    {"crop/0/p/81", "SetCropAspectRatio___2:3", command("crop.aspect", R"({"aspect":"2x3"})")},
    {"crop/0/p/82", "SetCropAspectRatio___4:3", command("crop.aspect", R"({"aspect":"4x3"})")},
    {"crop/0/p/83", "SetCropAspectRatio___4:5", command("crop.aspect", R"({"aspect":"4x5"})")},
    {"crop/0/p/84", "SetCropAspectRatio___5:7", command("crop.aspect", R"({"aspect":"5x7"})")},
    {"crop/0/p/85", "SetCropAspectRatio___16:9", command("crop.aspect", R"({"aspect":"16x9"})")},
    {"crop/0/p/86", "SetCropAspectRatio___16:10", command("crop.aspect", R"({"aspect":"16x10"})")},
    {"crop/0/p/87", "SetCropAspectRatio___17:22", command("crop.aspect", R"({"aspect":"8.5x11"})")},
    // crop, layer 1, rotations
    {"crop/1/r/46", "Dehaze", adjust(k_effects_dehaze, 1.0)},
    {"crop/1/r/48", "RotateCropAreaSome", crop_angle(0.02)},
    // crop, layer 1, presses
    {"crop/1/p/33", "AutoSettings", command("develop.auto")},
    {"crop/1/p/46", "ResetDehaze", reset(k_effects_dehaze)},
    {"crop/1/p/48", "ResetCrop", command("crop.reset")},
    {"crop/1/p/51", "ToggleCropGuideLines",
     unsupported("Sorvic chưa có lệnh bật/tắt đường dẫn crop")},
    {"crop/1/p/52", "CycleCropGridOverlayOrientation", command("view.cropOverlayOrientation")},
    {"crop/1/p/76", "MoveCropAreaUpFine", crop_move(0.0, -0.002)},
    {"crop/1/p/77", "MoveCropAreaDownFine", crop_move(0.0, 0.002)},
    {"crop/1/p/78", "MoveToPreviousPhoto", k_library_previous},
    {"crop/1/p/79", "MoveToNextPhoto", k_library_next},
    // remove, layer 0, rotations
    {"remove/0/r/41", "AdjustmentBrushFeatherSize",
     turn(k_brush_feather_less, k_brush_feather_more)},
    {"remove/0/r/48", "AdjustmentBrushSize", turn(k_brush_smaller, k_brush_larger)},
    // remove, layer 0, presses
    {"remove/0/p/48", "DeactivateDevelopTool", command("tool.done")},
    {"remove/0/p/54", "ToggleQuickCollection", command("album.toggleTarget")},
    // remove, layer 1, rotations
    {"remove/1/r/46", "Dehaze", adjust(k_effects_dehaze, 1.0)},
    // remove, layer 1, presses
    {"remove/1/p/33", "AutoSettings", command("develop.auto")},
    {"remove/1/p/46", "ResetDehaze", reset(k_effects_dehaze)},
    // redEye, layer 0, presses
    {"redEye/0/p/48", "DeactivateDevelopTool", command("tool.done")},
    {"redEye/0/p/54", "ToggleQuickCollection", command("album.toggleTarget")},
    // redEye, layer 1, rotations
    {"redEye/1/r/46", "Dehaze", adjust(k_effects_dehaze, 1.0)},
    // redEye, layer 1, presses
    {"redEye/1/p/33", "AutoSettings", command("develop.auto")},
    {"redEye/1/p/46", "ResetDehaze", reset(k_effects_dehaze)},
    // masking, layer 0, rotations
    {"masking/0/r/33", "LocalizedExposure", mask_adjust("exposure", 0.05)},
    {"masking/0/r/34", "LocalizedBlacks", mask_adjust("blacks", 1.0)},
    {"masking/0/r/35", "LocalizedWhites", mask_adjust("whites", 1.0)},
    {"masking/0/r/36", "LocalizedSaturation", mask_adjust("saturation", 1.0)},
    {"masking/0/r/38", "LocalizedTemperature", mask_adjust("temp", 1.0)},
    {"masking/0/r/39", "LocalizedTint", mask_adjust("tint", 1.0)},
    {"masking/0/r/40", "LocalizedHighlights", mask_adjust("highlights", 1.0)},
    {"masking/0/r/41", "LocalizedDehaze", mask_adjust("dehaze", 1.0)},
    {"masking/0/r/44", "LocalizedShadows", mask_adjust("shadows", 1.0)},
    {"masking/0/r/45", "LocalizedClarity", mask_adjust("clarity", 1.0)},
    {"masking/0/r/46", "LocalizedContrast", mask_adjust("contrast", 1.0)},
    {"masking/0/r/48", "AdjustmentBrushSize", turn(k_brush_smaller, k_brush_larger)},
    // masking, layer 0, presses
    {"masking/0/p/33", "ResetLocalizedExposure", mask_reset("exposure")},
    {"masking/0/p/34", "ResetLocalizedBlacks", mask_reset("blacks")},
    {"masking/0/p/35", "ResetLocalizedWhites", mask_reset("whites")},
    {"masking/0/p/36", "ResetLocalizedSaturation", mask_reset("saturation")},
    {"masking/0/p/38", "ResetLocalizedTemperature", mask_reset("temp")},
    {"masking/0/p/39", "ResetLocalizedTint", mask_reset("tint")},
    {"masking/0/p/40", "ResetLocalizedHighlights", mask_reset("highlights")},
    {"masking/0/p/41", "ResetLocalizedDehaze", mask_reset("dehaze")},
    {"masking/0/p/44", "ResetLocalizedShadows", mask_reset("shadows")},
    {"masking/0/p/45", "ResetLocalizedClarity", mask_reset("clarity")},
    {"masking/0/p/46", "ResetLocalizedContrast", mask_reset("contrast")},
    {"masking/0/p/48", "DeactivateDevelopTool", command("tool.done")},
    {"masking/0/p/54", "ToggleQuickCollection", command("album.toggleTarget")},
    // masking, layer 1, rotations
    {"masking/1/r/33", "LocalizedLuminanceNoise", mask_adjust("noise", 1.0)},
    {"masking/1/r/34", "LocalizedMoire", mask_adjust("moire", 1.0)},
    {"masking/1/r/39", "LocalizedDefringe", mask_adjust("defringe", 1.0)},
    {"masking/1/r/45", "LocalizedTexture", mask_adjust("texture", 1.0)},
    {"masking/1/r/46", "LocalizedDehaze", mask_adjust("dehaze", 1.0)},
    // masking, layer 1, presses
    {"masking/1/p/33", "ResetLocalizedLuminanceNoise", mask_reset("noise")},
    {"masking/1/p/34", "ResetLocalizedMoire", mask_reset("moire")},
    {"masking/1/p/39", "ResetLocalizedDefringe", mask_reset("defringe")},
    {"masking/1/p/45", "ResetLocalizedTexture", mask_reset("texture")},
    {"masking/1/p/46", "ResetLocalizedDehaze", mask_reset("dehaze")},
    // wb, layer 0, presses
    {"wb/0/p/48", "DeactivateDevelopTool", command("tool.done")},
    {"wb/0/p/54", "ToggleQuickCollection", command("album.toggleTarget")},
    // wb, layer 1, rotations
    {"wb/1/r/46", "Dehaze", adjust(k_effects_dehaze, 1.0)},
    // wb, layer 1, presses
    {"wb/1/p/33", "AutoSettings", command("develop.auto")},
    {"wb/1/p/46", "ResetDehaze", reset(k_effects_dehaze)},
    // library, layer 0, rotations
    {"library/0/r/33", "QuickDevelopAdjustImage___Exposure", quick_adjust(k_light_exposure, 0.05)},
    {"library/0/r/34", "QuickDevelopAdjustImage___Blacks", quick_adjust(k_light_blacks, 1.0)},
    {"library/0/r/35", "QuickDevelopAdjustImage___Whites", quick_adjust(k_light_whites, 1.0)},
    {"library/0/r/36", "QuickDevelopAdjustImage___Saturation",
     quick_adjust(k_color_saturation, 1.0)},
    {"library/0/r/37", "QuickDevelopAdjustImage___Vibrance", quick_adjust(k_color_vibrance, 1.0)},
    {"library/0/r/38", "QuickDevelopAdjustWhiteBalance___Temperature",
     quick_adjust(k_wb_temp, 50.0)},
    {"library/0/r/39", "QuickDevelopAdjustWhiteBalance___Tint", quick_adjust(k_wb_tint, 1.0)},
    {"library/0/r/40", "QuickDevelopAdjustImage___Highlights",
     quick_adjust(k_light_highlights, 1.0)},
    {"library/0/r/41", "MoveToNextOrPreviousPhoto", turn(k_library_previous, k_library_next)},
    {"library/0/r/42", "ChangeThumbnailSize", Action{ThumbSize{}}},
    {"library/0/r/44", "QuickDevelopAdjustImage___Shadows", quick_adjust(k_light_shadows, 1.0)},
    {"library/0/r/45", "QuickDevelopAdjustImage___Clarity", quick_adjust(k_effects_clarity, 1.0)},
    {"library/0/r/46", "QuickDevelopAdjustImage___Contrast", quick_adjust(k_light_contrast, 1.0)},
    {"library/0/r/48", "MoveUpDown", turn(k_key_up_action, k_key_down_action)},
    // library, layer 0, presses
    {"library/0/p/33", "ResetQuickDevelopAdjustImage___Exposure", reset(k_light_exposure)},
    {"library/0/p/34", "ResetQuickDevelopAdjustImage___Blacks", reset(k_light_blacks)},
    {"library/0/p/35", "ResetQuickDevelopAdjustImage___Whites", reset(k_light_whites)},
    {"library/0/p/36", "ResetQuickDevelopAdjustImage___Saturation", reset(k_color_saturation)},
    {"library/0/p/37", "ResetQuickDevelopAdjustImage___Vibrance", reset(k_color_vibrance)},
    {"library/0/p/38", "ResetQuickDevelopAdjustWhiteBalance___Temperature", reset(k_wb_temp)},
    {"library/0/p/39", "ResetQuickDevelopAdjustWhiteBalance___Tint", reset(k_wb_tint)},
    {"library/0/p/40", "ResetQuickDevelopAdjustImage___Highlights", reset(k_light_highlights)},
    {"library/0/p/44", "ResetQuickDevelopAdjustImage___Shadows", reset(k_light_shadows)},
    {"library/0/p/45", "ResetQuickDevelopAdjustImage___Clarity", reset(k_effects_clarity)},
    {"library/0/p/46", "ResetQuickDevelopAdjustImage___Contrast", reset(k_light_contrast)},
    {"library/0/p/48", "Rating3", command("photo.rate", R"({"rating":3,"toggle":true})")},
    {"library/0/p/49", "TogglePickFlag", toggle_flag("pick")},
    {"library/0/p/50", "ToggleRejectFlag", toggle_flag("reject")},
    {"library/0/p/51", "AutoSettings", command("develop.auto")},
    {"library/0/p/52", "AutoWhiteBalance", command("develop.wb", R"({"mode":"auto"})")},
    {"library/0/p/53", "ToggleZoomView", command("view.zoomToggle")},
    {"library/0/p/54", "ToggleQuickCollection", command("album.toggleTarget")},
    {"library/0/p/66", "RatingStar1", command("photo.rate", R"({"rating":1,"toggle":true})")},
    {"library/0/p/67", "RatingStar2", command("photo.rate", R"({"rating":2,"toggle":true})")},
    {"library/0/p/68", "RatingStar3", command("photo.rate", R"({"rating":3,"toggle":true})")},
    {"library/0/p/69", "RatingStar4", command("photo.rate", R"({"rating":4,"toggle":true})")},
    {"library/0/p/70", "RatingStar5", command("photo.rate", R"({"rating":5,"toggle":true})")},
    {"library/0/p/71", "RatingColor1", command("photo.label", R"({"label":"red"})")},
    {"library/0/p/72", "RatingColor2", command("photo.label", R"({"label":"yellow"})")},
    {"library/0/p/73", "RatingColor3", command("photo.label", R"({"label":"green"})")},
    {"library/0/p/74", "RatingColor4", command("photo.label", R"({"label":"blue"})")},
    {"library/0/p/75", "RatingColor5", command("photo.label", R"({"label":"purple"})")},
    {"library/0/p/76", "MoveUp", k_key_up_action},
    {"library/0/p/77", "MoveDown", k_key_down_action},
    {"library/0/p/78", "MoveLeft", k_key_left_action},
    {"library/0/p/79", "MoveRight", k_key_right_action},
    {"library/0/p/80", k_preset_names[0], preset(1)},
    {"library/0/p/81", k_preset_names[1], preset(2)},
    {"library/0/p/82", k_preset_names[2], preset(3)},
    {"library/0/p/83", k_preset_names[3], preset(4)},
    {"library/0/p/84", k_preset_names[4], preset(5)},
    {"library/0/p/85", k_preset_names[5], preset(6)},
    {"library/0/p/86", k_preset_names[6], preset(7)},
    {"library/0/p/87", k_preset_names[7], preset(8)},
    {"library/0/p/88", "OpenExportDialog", command("dialog.export")},
    {"library/0/p/92", "CopyAllSettings", command("develop.copy")},
    {"library/0/p/93", "PasteAllSettings", command("develop.paste")},
    {"library/0/p/95", "Undo", command("edit.undo")},
    {"library/0/p/96", "Redo", command("edit.redo")},
    {"library/0/p/97", "FullScreen", command("view.fullScreenPreview")},
    {"library/0/p/98", "SetColorModeHue", ui_command("ui.set", R"({"mixerMode":"hue"})")},
    {"library/0/p/99", "SetColorModeSaturation", ui_command("ui.set", R"({"mixerMode":"sat"})")},
    {"library/0/p/100", "SetColorModeLuminance", ui_command("ui.set", R"({"mixerMode":"lum"})")},
    {"library/0/p/101", "ToggleColorMode", command("develop.treatment")},
    {"library/0/p/102", "ToggleBeforeAfter", command("view.beforeAfter")},
    {"library/0/p/110", "ActivateClientApplication", Action{FocusApp{}}},
    {"library/0/p/114", "LibraryGridView", ui_command("ui.set", R"({"view":"photoGrid"})")},
    {"library/0/p/115", "LibraryLoupeView", ui_command("ui.set", R"({"view":"detail"})")},
    {"library/0/p/116", "LibrarySurveyView", command("view.survey")},
    // library, layer 1, rotations
    {"library/1/r/48", "MoveUpDown", turn(k_key_up_action, k_key_down_action)},
    // library, layer 1, presses
    {"library/1/p/33", "AutoSettings", command("develop.auto")},
    {"library/1/p/49", "FlagFilter___flagged", toggle_filter(R"({"flag":"pick"})")},
    {"library/1/p/50", "FlagFilter___rejected", toggle_filter(R"({"flag":"reject"})")},
    {"library/1/p/51", "CycleInfoDisplay", command("view.infoOverlay")},
    {"library/1/p/53", "EditInPhotoshop", command("photo.editInExternal")},
    {"library/1/p/54", "ToggleShowQuickCollection",
     unsupported("Sorvic chưa có nguồn Quick Collection riêng")},
    {"library/1/p/66", "RatingFilter1", toggle_filter(R"({"rating":1,"ratingOp":"atLeast"})")},
    {"library/1/p/67", "RatingFilter2", toggle_filter(R"({"rating":2,"ratingOp":"atLeast"})")},
    {"library/1/p/68", "RatingFilter3", toggle_filter(R"({"rating":3,"ratingOp":"atLeast"})")},
    {"library/1/p/69", "RatingFilter4", toggle_filter(R"({"rating":4,"ratingOp":"atLeast"})")},
    {"library/1/p/70", "RatingFilter5", toggle_filter(R"({"rating":5,"ratingOp":"atLeast"})")},
    {"library/1/p/76", "SelectAll", command("library.selectAll")},
    {"library/1/p/77", "DeselectOtherPhotos", Action{SelectOnlyCurrent{}}},
    {"library/1/p/78", "SelectLeft", ui_command("ui.key", R"({"key":"left","shift":true})")},
    {"library/1/p/79", "SelectRight", ui_command("ui.key", R"({"key":"right","shift":true})")},
    {"library/1/p/80", k_preset_names[8], preset(9)},
    {"library/1/p/81", k_preset_names[9], preset(10)},
    {"library/1/p/82", k_preset_names[10], preset(11)},
    {"library/1/p/83", k_preset_names[11], preset(12)},
    {"library/1/p/84", k_preset_names[12], preset(13)},
    {"library/1/p/85", k_preset_names[13], preset(14)},
    {"library/1/p/86", k_preset_names[14], preset(15)},
    {"library/1/p/87", k_preset_names[15], preset(16)},
    {"library/1/p/88", "ExportWithPreset", command("app.exportPrevious")},
    {"library/1/p/92", "CreateVirtualCopies", command("photo.virtualCopy")},
    {"library/1/p/93", "PasteFromPrevious", command("develop.pastePrevious")},
    {"library/1/p/97", "TogglePanels", ui_command("ui.key", R"({"key":"tab"})")},
    {"library/1/p/102", "ToggleBeforeOnly", command("view.showOriginal")},
    {"library/1/p/114", "LibraryCompareView", command("view.compare")},
    {"library/1/p/115", "ActivateLoupedeckConfiguration",
     unsupported("mở cấu hình app Loupedeck — không cần nữa")},
    {"library/1/p/116", "ToggleDevelopLibraryModules", command("view.gridToggle")},
};

static_assert(std::size(k_rows) == 421);

}  // namespace

std::span<const Binding> binding_table() { return k_rows; }

}  // namespace tavrick
