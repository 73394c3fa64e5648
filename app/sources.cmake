# Sources of app/: target_sources(kestrel_core ...) for plain C++, kestrel_gui for Qt.
