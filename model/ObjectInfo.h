#pragma once

#include <string>
#include <utility>
#include <vector>

class CSceneObject;

// The texts the object information dialog shows for one object, in the dialog's order, each
// with its label ("Name:", "File:", ...). Meshes show their statistics and bounds; any other
// object shows "0" counts and "N/A".
std::vector<std::pair<std::string, std::string>> DescribeObject(const CSceneObject& object);
