# Drawing under Xvfb: frames, cells, mirror copies, the panel and the palettes.
