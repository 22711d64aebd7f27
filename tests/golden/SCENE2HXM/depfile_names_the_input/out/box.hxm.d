box.hxm: box.ase
