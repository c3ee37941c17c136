# fish completion for nembit: its options, then file names.
complete --command nembit --short-option h --long-option help --description 'Show the help and exit'
complete --command nembit --long-option version --description 'Show the version banner and exit'
complete --command nembit --long-option debug --description 'Show detailed error messages'
