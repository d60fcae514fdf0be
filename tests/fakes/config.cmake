# The full-disk settings stream wraps the real one of tavelin_config.
target_link_libraries(tavelin_fakes PUBLIC tavelin_config)
