// The reference for DKS2VKM's end-to-end figure: a plain import of the same
// export by a general-purpose library, without post-processing.
//   assimp_import <file.ase>
// Prints the mesh and face counts; exits 1 when the import fails.
#include <assimp/cimport.h>
#include <assimp/scene.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: assimp_import <file.ase>\n", stderr);
        return 2;
    }
    const aiScene* scene = aiImportFile(argv[1], 0);
    if (scene == nullptr) {
        std::fprintf(stderr, "%s\n", aiGetErrorString());
        return 1;
    }
    unsigned long faces = 0;
    for (unsigned i = 0; i < scene->mNumMeshes; ++i) faces += scene->mMeshes[i]->mNumFaces;
    std::printf("%u meshes, %lu faces\n", scene->mNumMeshes, faces);
    aiReleaseImport(scene);
    return 0;
}
