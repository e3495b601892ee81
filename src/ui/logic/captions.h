#pragma once

// The captions of the notices, in UTF-8 source text like the other window texts.
namespace tarnwick::ui {

// Notices about input, confirmations and successes.
inline constexpr const char* kInfoCaption = "提示信息";
// Refused moves and refused launcher generation.
inline constexpr const char* kErrorCaption = "错误提示";

} // namespace tarnwick::ui
