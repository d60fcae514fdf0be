# The scripted DirectInput installs itself through the device layer's override.
target_link_libraries(tavelin_fakes PUBLIC tavelin_devices)
