# Programs and fuzz targets of the filter, BCJ2, AES and other decoders.
