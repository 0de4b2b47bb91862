(arxload "no-such-module.so")
(arxunload "none")
(arx)