# find_package(ModelPipeline CONFIG): the tools as ModelPipeline::DKS2VKM,
# ::SCENE2DKS, ::SCENE2HXM and ::aselod, the reading library as ModelPipeline::modelfile,
# and add_vkm_model / add_hxm_collision (ModelPipelineFunctions.cmake).
include("${CMAKE_CURRENT_LIST_DIR}/ModelPipelineTargets.cmake")
include("${CMAKE_CURRENT_LIST_DIR}/ModelPipelineFunctions.cmake")
