#include "modelconv/driver.h"

#include "common/atomic_file.h"
#include "common/input_error.h"
#include "common/output_name.h"
#include "modelconv/convert.h"
#include "modelconv/model_script.h"

namespace modelconv {

int run(int argc, const char* const* argv, std::FILE* out) {
    std::fputs("DKS To VKM converter\n", out);
    std::fputs("Version 2.0\n", out);
    std::fputs("Copyright (c) the asset pipeline team. All rights reserved.\n", out);
    if (argc < 2) {
        std::fputs("Command - line parameters:\nDKS2VKM [filename]\n", out);
        std::fputs("\"filename\" is a full name of DKS script\n", out);
        return 0;
    }
    const std::string scriptName = argv[1];
    const std::string outputName = common::makeOutputName(scriptName, "vkm");
    if (common::sameFile(scriptName, outputName))
        common::reportError(-1, "Output file %s would replace the script!", outputName.c_str());

    std::fprintf(out, "Loading DKS %s...\n", scriptName.c_str());
    ModelDefinition definition;
    loadModelScript(definition, scriptName, out);
    for (const std::string& aseName : definition.sceneFiles)
        if (common::sameFile(aseName, outputName))
            common::reportError(-1, "Output file %s would replace the ASE file %s!", outputName.c_str(), aseName.c_str());
    std::fputs("Loading complete.\n", out);
    std::fputs("Converting...\n", out);
    ConvertedModel model;
    convert(definition, model, out);
    std::fputs("Converting complete.\n", out);
    std::fprintf(out, "Saving into VKM %s...\n", outputName.c_str());
    model.save(outputName);
    std::fputs("Saving complete.\n", out);
    return 0;
}

}  // namespace modelconv
