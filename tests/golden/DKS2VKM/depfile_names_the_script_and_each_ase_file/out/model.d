out\ put.vkm: model.dks scene.ase
