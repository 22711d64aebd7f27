// What DKS2VKM can say about a script and its scenes beyond the console text:
// the traps that convert without an error but give a model other than the
// one meant, and the reasons behind a node that cannot be found.
#pragma once

#include "common/diagnostics.h"
#include "modelconv/model_script.h"

namespace modelconv {

// Warnings for PARENT lines that name no element, names that match more than
// one node (or element), elements that stand for the same node as another,
// and objects lost to lookups that ran into the next objects.
void warnAboutScript(const ModelDefinition& definition, common::Diagnostics& diagnostics);

// "Can't find <name> in lod 0", pointing where the problem is: the ASE file
// when the name is there but was read past by another object's lookups, else
// the script line that names it.
[[noreturn]] void reportMissingNode(const ModelDefinition& definition, const ElementDefinition& element);

}  // namespace modelconv
