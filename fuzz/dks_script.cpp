// DKS2VKM from script text, with a small scene behind it: the script reader,
// the scene reads its LOD lines ask for, conversion and VKM writing, and the
// VKM reader over the result. Anything but an InputError escaping is a bug,
// and so is a written file that the independent reader rejects.
#include <cstdint>
#include <map>
#include <string>

#include "fuzz/fuzz_support.h"
#include "modelconv/convert.h"
#include "modelconv/model_script.h"
#include "common/input_error.h"
#include "modelfile/vkm.h"

namespace {

// Nodes "hull" (a mesh with a multi-material), "turret" (a mesh without UVs),
// "view" (a camera) and "lamp" (a light), for scripts to name.
const char kScene[] = R"(*MATERIAL_LIST {
	*MATERIAL_COUNT 2
	*MATERIAL 0 {
		*MATERIAL_NAME "Paint"
		*MATERIAL_CLASS "Standard"
		*MATERIAL_DIFFUSE 0.5000	0.2500	1.0000
		*MATERIAL_SHINE 0.2500
	}
	*MATERIAL 1 {
		*MATERIAL_NAME "Multi"
		*MATERIAL_CLASS "Multi/Sub-Object"
		*NUMSUBMTLS 2
		*SUBMATERIAL 0 {
			*MATERIAL_NAME "A"
			*MATERIAL_CLASS "Standard"
		}
		*SUBMATERIAL 1 {
			*MATERIAL_NAME "B"
			*MATERIAL_CLASS "Standard"
		}
	}
}
*GEOMOBJECT {
	*NODE_NAME "hull"
	*TM_ROW0 1 0 0
	*TM_ROW1 0 1 0
	*TM_ROW2 0 0 1
	*TM_POS 1 2 3
	*TM_ROTAXIS 0 0 0
	*TM_ROTANGLE 0
	*MESH_NUMVERTEX 4
	*MESH_NUMFACES 2
	*MESH_VERTEX_LIST {
		*MESH_VERTEX 0	0 0 0
		*MESH_VERTEX 1	1 0 0
		*MESH_VERTEX 2	1 1 0
		*MESH_VERTEX 3	0 1 0
	}
	*MESH_FACE_LIST {
		*MESH_FACE 0: A: 0 B: 1 C: 2 AB: 1 BC: 1 CA: 0 *MESH_SMOOTHING 1 *MESH_MTLID 0
		*MESH_FACE 1: A: 2 B: 3 C: 0 AB: 1 BC: 1 CA: 0 *MESH_SMOOTHING 1 *MESH_MTLID 1
	}
	*MESH_NUMTVERTEX 2
	*MESH_TVERTLIST {
		*MESH_TVERT 0	0 0 0
		*MESH_TVERT 1	1 1 0
	}
	*MESH_NUMTVFACES 2
	*MESH_TFACELIST {
		*MESH_TFACE 0	0 1 1
		*MESH_TFACE 1	1 0 0
	}
	*MESH_NUMCVERTEX 0
	*MATERIAL_REF 1
}
*GEOMOBJECT {
	*NODE_NAME "turret"
	*TM_ROW0 0 1 0
	*TM_ROW1 -1 0 0
	*TM_ROW2 0 0 1
	*TM_POS 0 0 5
	*TM_ROTAXIS 0 0 1
	*TM_ROTANGLE 1.5708
	*MESH_NUMVERTEX 3
	*MESH_NUMFACES 1
	*MESH_VERTEX_LIST {
		*MESH_VERTEX 0	0 0 5
		*MESH_VERTEX 1	1 0 5
		*MESH_VERTEX 2	0 1 6
	}
	*MESH_FACE_LIST {
		*MESH_FACE 0: A: 0 B: 1 C: 2 AB: 1 BC: 1 CA: 1 *MESH_SMOOTHING 0 *MESH_MTLID 0
	}
	*MESH_NUMTVERTEX 0
}
*CAMERAOBJECT {
	*NODE_NAME "view"
	*TM_ROW0 1 0 0
	*TM_ROW1 0 1 0
	*TM_ROW2 0 0 1
	*TM_POS 0 -10 2
	*TM_ROTAXIS 1 0 0
	*TM_ROTANGLE 0.3
}
*LIGHTOBJECT {
	*NODE_NAME "lamp"
	*TM_ROW0 1 0 0
	*TM_ROW1 0 1 0
	*TM_ROW2 0 0 1
	*TM_POS 0 0 20
	*TM_ROTAXIS 0 0 0
	*TM_ROTANGLE 0
	*LIGHT_USELIGHT 1
}
)";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    static const std::map<std::string, std::string> files = {{"scene.ase", kScene}};
    sceneread::TextParser script = sceneread::TextParser::overText(fuzzsupport::text(data, size));
    try {
        modelconv::ModelDefinition definition;
        modelconv::loadModelScript(definition, script, "model.dks", sceneread::textsInMemory(files),
                                   fuzzsupport::sink());
        modelconv::ConvertedModel model;
        modelconv::convert(definition, model, fuzzsupport::sink());
        modelfile::readVkm(model.bytes());
    } catch (const common::InputError&) {
    }
    return 0;
}
