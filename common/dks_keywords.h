// The keywords of the DKS model script, shared by the tool that writes
// scripts and the one that reads them, so the two cannot drift apart.
#pragma once

#include <string>
#include <string_view>

namespace common::dks {

inline constexpr std::string_view kLods = "LODS";
inline constexpr std::string_view kLod = "LOD";  // followed by the LOD number
inline constexpr std::string_view kElements = "ELEMENTS";
inline constexpr std::string_view kElement = "ELEMENT";
inline constexpr std::string_view kName = "NAME";
inline constexpr std::string_view kDefinition = "DEFINITION";
inline constexpr std::string_view kParent = "PARENT";
inline constexpr std::string_view kNoParent = "NONE";

inline constexpr std::string_view kMesh = "MESH";
inline constexpr std::string_view kCamera = "CAMERA";
inline constexpr std::string_view kOmniLight = "OMNILIGHT";

inline constexpr int kMaxLods = 16;

inline std::string lodKeyword(int lod) { return std::string(kLod) + std::to_string(lod); }

}  // namespace common::dks
